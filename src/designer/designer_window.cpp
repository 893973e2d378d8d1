#include "designer_window.h"

#include "category.h"
#include "colour_button.h"
#include "handler_guard.h"
#include "font_faces.h"
#include "int_conv.h"
#include "picture_window.h"
#include "random_source.h"
#include "save_canvas_image.h"
#include "star_ring.h"
#include "twips.h"
#include "tick_gate.h"
#include "tick_queue.h"
#include "app_windows.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace zovex {

namespace {

constexpr Colour kFormBack = RGB(0, 64, 64);
constexpr Colour kPanelShape = RGB(64, 0, 64);
constexpr Colour kRingGreen = RGB(0, 250, 0);

QColor qcolor(Colour c) { return QColor(redOf(c), greenOf(c), blueOf(c)); }

QFont songti(double points, bool bold = false)
{
    return controlFont(QStringLiteral("宋体"), points, bold);
}

void setColours(QWidget* w, Colour fore, std::optional<Colour> back)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, qcolor(fore));
    pal.setColor(QPalette::Text, qcolor(fore));
    pal.setColor(QPalette::ButtonText, qcolor(fore));
    if (back) {
        pal.setColor(QPalette::Window, qcolor(*back));
        pal.setColor(QPalette::Base, qcolor(*back));
        pal.setColor(QPalette::Button, qcolor(*back));
    }
    w->setPalette(pal);
}

// The window icon: a small star ring on the window's own colour.
const QIcon& designerIcon()
{
    static const QIcon icon = [] {
        Canvas c(32, 32, kFormBack);
        attempt([&] { c.setDrawWidth(2); });
        attempt([&] { DrawStarRing(c, 30, 30, 420, 420, 5, kRingGreen); });
        return QIcon(QPixmap::fromImage(c.Image()));
    }();
    return icon;
}

} // namespace

// --- DesignerForm -------------------------------------------------------------------------

DesignerForm::DesignerForm(int category) : m_category(category)
{
    (void)designerDescription(category); // rejects a category outside 1..10 here, not later
}

const DesignerDescription& DesignerForm::description() const
{
    return designerDescription(m_category);
}

DesignerWindow& DesignerForm::window() { return static_cast<DesignerWindow&>(widget()); }

std::unique_ptr<QWidget> DesignerForm::createWidget()
{
    auto w = std::make_unique<DesignerWindow>(*this);
    w->Form_Load();
    return w;
}

// --- DesignerWindow: building -------------------------------------------------------------

DesignerWindow::DesignerWindow(DesignerForm& form) : QWidget(nullptr), m_form(form)
{
    const DesignerDescription& d = description();
    setUpPictureWindow(*this, QString::fromLatin1(d.formName), kDesignerCaption);
    setWindowIcon(designerIcon());
    // Not only the background: the designer's palette also gives its texts their black.
    setAutoFillBackground(true);
    setColours(this, RGB(0, 0, 0), kFormBack);

    // Normal size centred on the screen; the window opens maximised.
    const QSize client = twipsSize(d.clientWidthTwips, d.clientHeightTwips);
    resize(client);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(client.width() / 2, client.height() / 2));
    setWindowState(Qt::WindowMaximized);

    buildControls();
    setFocusOrder();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    // Precise: the 3000 ms of a new window is 3000 ms, and 高速 is as fast as ticks can follow.
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(kNormalIntervalMs);
    // The tick itself waits its turn in the program's tick queue, so that input waiting is
    // served between any two ticks of all windows.
    connect(Timer1, &QTimer::timeout, this,
            [this] { TickQueue::instance().request(this, [this] { Timer1_Timer(); }); });
    Timer1->start();
}

DesignerWindow::~DesignerWindow() { TickQueue::instance().cancel(this); }

void DesignerWindow::buildControls()
{
    const DesignerDescription& d = description();

    auto place = [](QWidget* w, const char* name, int l, int t, int wd, int h) {
        w->setObjectName(QString::fromLatin1(name));
        w->setGeometry(twipsRect(l, t, wd, h));
    };
    auto label = [&](const char* name, int l, int t, int wd, int h, const QString& caption, Colour fore,
                     const QFont& font) {
        auto* lb = new QLabel(caption, this);
        place(lb, name, l, t, wd, h);
        lb->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        lb->setFont(font);
        setColours(lb, fore, std::nullopt); // transparent: the form and its shapes show through
        return lb;
    };
    auto button = [&](const char* name, int l, int t, int wd, int h, const QString& caption,
                      std::optional<Colour> face, const QFont& font) {
        auto* b = new QPushButton(caption, this);
        place(b, name, l, t, wd, h);
        b->setFont(font);
        if (face)
            b->setStyleSheet(colourButtonStyle(*face));
        return b;
    };
    auto textBox = [&](const char* name, int l, int t, int wd, int h, const QString& text, Colour fore,
                       Colour back) {
        auto* e = new QLineEdit(text, this);
        place(e, name, l, t, wd, h);
        setColours(e, fore, back);
        e->setCursorPosition(0);
        return e;
    };
    auto combo = [&](const char* name, int l, int t, int wd, int h) {
        auto* c = new QComboBox(this);
        place(c, name, l, t, wd, h);
        c->setEditable(true);
        // A typed value stays what was typed: no completion, nothing added to the list.
        c->setCompleter(nullptr);
        c->setInsertPolicy(QComboBox::NoInsert);
        setColours(c, RGB(0, 0, 255), RGB(192, 255, 255));
        setColours(c->lineEdit(), RGB(0, 0, 255), RGB(192, 255, 255));
        return c;
    };

    // The demonstration strip comes first: first in the focus order, and under the canvas.
    Text1 = textBox("Text1", 1020, 60, 495, 315, QStringLiteral("5"), RGB(0, 0, 0), RGB(255, 255, 255));
    Command1[1] = button("Command1(1)", 4260, 60, 1695, 315, QStringLiteral("Polygon Star"), std::nullopt, songti(9));
    Command1[0] = button("Command1(0)", 1620, 60, 855, 315, QStringLiteral("Color"), std::nullopt, songti(9));
    Command1[2] = button("Command1(2)", 2520, 60, 1695, 315, QStringLiteral("Polygon"), std::nullopt, songti(9));
    for (int i = 0; i < 3; ++i)
        connectHandler(Command1[static_cast<std::size_t>(i)], &QPushButton::clicked, this,
                       FailureStyle::StatementByStatement, [this, i] { Command1_Click(i); });

    Picture1 = new PictureBox(twipsRect(0, 0, 12915, 12915).size(), d.canvasBack, this);
    place(Picture1, "Picture1", 0, 0, 12915, 12915);

    static constexpr int kImages[5][4] = {
        {13050, 120, 5775, 5775}, {18840, 120, 2565, 2565}, {18840, 2700, 1635, 1635},
        {18840, 4350, 1035, 1035}, {18840, 5400, 480, 480},
    };
    static constexpr const char* kImageNames[5] = {"Image1", "Image2", "Image3", "Image4", "Image5"};
    for (std::size_t i = 0; i < 5; ++i) {
        Image[i] = new ImageBox(this);
        place(Image[i], kImageNames[i], kImages[i][0], kImages[i][1], kImages[i][2], kImages[i][3]);
    }

    Label2 = label("Label2", 13680, 6120, 3735, 375, QStringLiteral("ZovexTessaly控制器"), RGB(255, 192, 128),
                   songti(10.5, true));

    Check2 = new QCheckBox(QStringLiteral("暂停"), this);
    place(Check2, "Check2", 13470, 6510, 1335, 255);
    Check2->setChecked(true);
    Check2->setFont(songti(9, true));
    Check2->setAutoFillBackground(true);
    setColours(Check2, RGB(255, 0, 0), RGB(64, 0, 64));
    connectHandler(Check2, &QCheckBox::clicked, this, FailureStyle::NotAtAll, [this] { Check2_Click(); });

    Command2 = button("Command2", 13260, 6900, 1245, 375, QStringLiteral("保存图案"), RGB(192, 192, 255), songti(9));
    Command3 = button("Command3", 13260, 7350, 1245, 375, QStringLiteral("打印图案"), RGB(192, 192, 255), songti(9));
    connectHandler(Command2, &QPushButton::clicked, this, FailureStyle::StatementByStatement,
                   [this] { Command2_Click(); });
    connectHandler(Command3, &QPushButton::clicked, this, FailureStyle::NotAtAll,
                   [this] { Command3_Click(); });

    Label3 = label("Label3", 14730, 6990, 1425, 345, QStringLiteral("宽度方案选择"), RGB(255, 255, 128), songti(9, true));
    Combo1 = combo("Combo1", 14730, 7410, 1455, 300);
    Label4 = label("Label4", 16350, 6990, 1455, 315, QStringLiteral("配色方案选择"), RGB(255, 255, 128), songti(9, true));
    Combo2 = combo("Combo2", 16350, 7410, 1455, 300);

    Label6 = label("Label6", 13740, 7860, 1725, 375, QStringLiteral("大类选择 已选择"), RGB(255, 128, 0), songti(10.5, true));
    Label8 = label("Label8", 15450, 7860, 1275, 285, QString(), RGB(215, 21, 123), songti(10.5, true));

    using Handler = void (DesignerWindow::*)();
    static constexpr Handler kCategoryHandlers[10] = {
        &DesignerWindow::Command8_Click,  &DesignerWindow::Command9_Click,  &DesignerWindow::Command10_Click,
        &DesignerWindow::Command11_Click, &DesignerWindow::Command12_Click, &DesignerWindow::Command13_Click,
        &DesignerWindow::Command14_Click, &DesignerWindow::Command15_Click, &DesignerWindow::Command16_Click,
        &DesignerWindow::Command17_Click,
    };
    static constexpr const char* kCategoryNames[10] = {"Command8",  "Command9",  "Command10", "Command11",
                                                       "Command12", "Command13", "Command14", "Command15",
                                                       "Command16", "Command17"};
    QPushButton** categoryMembers[10] = {&Command8,  &Command9,  &Command10, &Command11, &Command12,
                                         &Command13, &Command14, &Command15, &Command16, &Command17};
    static constexpr int kLefts[5] = {13740, 14490, 15240, 15990, 16740};
    for (int j = 1; j <= 10; ++j) {
        const int col = (j - 1) % 5;
        const int top = j <= 5 ? 8250 : 8850;
        const double points = j == 1 ? d.button1Points : 12.0;
        QPushButton* b = button(kCategoryNames[j - 1], kLefts[col], top, 495, 495, QString::number(j),
                                RGB(0, 192, 0), songti(points, true));
        *categoryMembers[j - 1] = b;
        const Handler h = kCategoryHandlers[j - 1];
        connectHandler(b, &QPushButton::clicked, this, FailureStyle::NotAtAll, [this, h] { (this->*h)(); });
    }

    Label10 = label("Label10", 13350, 9600, 1725, 315, QStringLiteral("设计速度控制"), RGB(0, 64, 0), songti(10.5, true));
    Label9 = label("Label9", 13320, 9900, 885, 375, QStringLiteral("设计总量"), RGB(255, 0, 0), songti(9, true));
    Label11 = label("Label11", 14160, 9900, 2565, 285, QString(), RGB(0, 0, 128), songti(9));
    Label11->setAutoFillBackground(true);
    setColours(Label11, RGB(0, 0, 128), RGB(192, 255, 192));

    Command4 = button("Command4", 13350, 10470, 915, 375, QStringLiteral("正常"), RGB(128, 128, 255), songti(9));
    Command5 = button("Command5", 14430, 10470, 945, 375, QStringLiteral("快速"), RGB(255, 128, 255), songti(9));
    Command6 = button("Command6", 15540, 10470, 915, 375, QStringLiteral("高速"), RGB(255, 128, 0), songti(9));
    Command7 = button("Command7", 16620, 10470, 915, 375, QStringLiteral("慢速"), RGB(0, 128, 128), songti(9));
    connectHandler(Command4, &QPushButton::clicked, this, FailureStyle::NotAtAll,
                   [this] { Command4_Click(); });
    connectHandler(Command5, &QPushButton::clicked, this, FailureStyle::NotAtAll,
                   [this] { Command5_Click(); });
    connectHandler(Command6, &QPushButton::clicked, this, FailureStyle::NotAtAll,
                   [this] { Command6_Click(); });
    connectHandler(Command7, &QPushButton::clicked, this, FailureStyle::NotAtAll,
                   [this] { Command7_Click(); });

    Text2 = textBox("Text2", 13230, 11220, 4575, 345, defaultText2(), RGB(0, 0, 192), RGB(192, 255, 192));
    Text3 = textBox("Text3", 13230, 11670, 4575, 345, defaultText3(), RGB(0, 0, 192), RGB(192, 255, 192));
    Text4 = textBox("Text4", 13230, 12120, 4575, 345, defaultText4(), RGB(128, 0, 128), RGB(255, 192, 255));
    Text2->setVisible(d.text2 == Visibility::Shown);
    Text3->setVisible(d.text3 == Visibility::Shown);

    // The label keeps the system's CR LF text; on screen a line break is a line feed.
    informationLabel = label(d.informationLabelName, 18030, 7170, 3300, 3800, QString(), RGB(192, 192, 255), songti(9));
    informationLabel->setText(QString(informationText()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    informationLabel->setWordWrap(true);
    // The substitute face for 宋体 has taller lines than 宋体 itself: grow downwards (the
    // window has room below) rather than cut the last lines off.
    informationLabel->resize(informationLabel->width(),
                             std::max(informationLabel->height(), informationLabel->heightForWidth(informationLabel->width())));

    Command18 = button("Command18", 20010, 5490, 1245, 375, QStringLiteral("剪裁保存"), RGB(192, 192, 255), songti(9));
    connectHandler(Command18, &QPushButton::clicked, this, FailureStyle::NotAtAll,
                   [this] { Command18_Click(); });
    if (d.command19 == WallpaperButton::PresentHidden) {
        Command19 = button("Command19", 20010, 5040, 1245, 375, QStringLiteral("高速排版"), RGB(192, 192, 255), songti(9));
        Command19->setVisible(wallpaperAccess() == WallpaperAccess::Shown);
        connectHandler(Command19, &QPushButton::clicked, this, FailureStyle::NotAtAll,
                       [this] { Command19_Click(); });
    }

    categoryLabel = label(d.categoryLabelName, 0, 0, 0, 0, QString(), RGB(0, 0, 0), songti(9));
    categoryLabel->setVisible(false);
}

void DesignerWindow::setFocusOrder()
{
    // The strip heads the order, so "Polygon Star" has the focus when the window first shows.
    QWidget* const order[] = {
        Command1[1], Text1,     Command1[0], Command1[2], Check2,    Command2,  Command3,
        Combo1,      Combo2,    Command8,    Command9,    Command10, Command11, Command12,
        Command13,   Command14, Command15,   Command16,   Command17, Command4,  Command5,
        Command6,    Command7,  Text2,       Text3,       Text4,     Command18,
    };
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    if (Command19)
        setTabOrder(Command18, Command19);
    Command1[1]->setFocus(Qt::OtherFocusReason);
}

void DesignerWindow::paintEvent(QPaintEvent*)
{
    // The decorative shapes lie on the form itself, under every label and image of the panel.
    QPainter p(this);
    p.setPen(QPen(Qt::black, 1));
    auto inscribedCircle = [](int l, int t, int w, int h) {
        const int dia = std::min(w, h);
        return QRectF((l + (w - dia) / 2.0) / 15.0, (t + (h - dia) / 2.0) / 15.0, dia / 15.0, dia / 15.0);
    };
    auto box = [](int l, int t, int w, int h) { return QRectF(l / 15.0, t / 15.0, w / 15.0, h / 15.0); };

    p.setBrush(qcolor(kPanelShape));
    p.drawEllipse(inscribedCircle(12960, 30, 8475, 5955));
    p.drawEllipse(inscribedCircle(12960, 5970, 8475, 6645));
    p.setBrush(qcolor(RGB(0, 128, 128)));
    p.drawEllipse(box(13170, 7830, 4695, 1605));
    p.setBrush(qcolor(RGB(128, 128, 255)));
    p.drawEllipse(box(13200, 9510, 4695, 1455));
    if (description().fillsInformationEllipse)
        p.setBrush(qcolor(kPanelShape));
    else
        p.setBrush(Qt::NoBrush);
    p.drawEllipse(box(17970, 6090, 3345, 6405));
}

void DesignerWindow::closeEvent(QCloseEvent* event)
{
    // Closing unloads the window at once, without a question: no further pattern from it.
    stopTimer1();
    event->accept();
}

// --- DesignerWindow: handlers -------------------------------------------------------------

void DesignerWindow::Form_Load()
{
    const QString own = categoryButton(m_form.category())->text();
    // Appending to an empty editable list would replace the text with the first item; the
    // window keeps the initial text of its description.
    const QString combo1Text = QString::fromLatin1(category(m_form.category()).lineWidthDefault);
    const QString combo2Text = QString::fromLatin1(category(m_form.category()).colourSchemeDefault);
    Combo1->addItems(lineWidthItems());
    Combo2->addItems(drawModeItems());
    Combo1->setCurrentIndex(-1);
    Combo2->setCurrentIndex(-1);
    Combo1->setEditText(combo1Text);
    Combo2->setEditText(combo2Text);
    Label8->setText(QStringLiteral("第") + own + QStringLiteral("大类"));
    categoryLabel->setText(own);
}

TickInputs DesignerWindow::tickInputs() const
{
    return {Combo1->currentText(), Combo2->currentText(), Text2->text(),
            Text3->text(),         Text4->text(),         categoryLabel->text()};
}

void DesignerWindow::Timer1_Timer()
{
    // While a screen selection is being dragged out no window ticks; a tick falling then is
    // dropped, not made up afterwards.
    if (TickGate::isHeld())
        return;
    runHandler(FailureStyle::StatementByStatement, this, [&] {
        const TickOutput out = runGenerationTick(canvas(), RandomSource::shared(), category(m_form.category()),
                                                 m_form.DesignCount, tickInputs());
        Label11->setText(out.countCaption);
        for (ImageBox* image : Image)
            image->setPicture(out.preview);
        Picture1->update();
    });
}

void DesignerWindow::Command1_Click(int)
{
    Canvas& c = canvas();
    attempt([&] { c.Cls(); });
    attempt([&] {
        const std::int16_t n = textToInt16(Text1->text().toStdString());
        DrawStarRing(c, 1200, 1200, 3600, 3600, n, kRingGreen);
    });
    Picture1->update();
}

QPushButton* DesignerWindow::categoryButton(int j) const
{
    QPushButton* const buttons[10] = {Command8,  Command9,  Command10, Command11, Command12,
                                      Command13, Command14, Command15, Command16, Command17};
    if (j < 1 || j > 10)
        return nullptr;
    return buttons[j - 1];
}

void DesignerWindow::showCategory(int j)
{
    WindowRegistry& registry = WindowRegistry::instance();
    registry.form(designerKind(j)).Show();
    for (int i = 1; i <= 10; ++i) {
        if (i != j)
            registry.form(designerKind(i)).Hide();
    }
}

void DesignerWindow::Command8_Click() { showCategory(1); }
void DesignerWindow::Command9_Click() { showCategory(2); }
void DesignerWindow::Command10_Click() { showCategory(3); }
void DesignerWindow::Command11_Click() { showCategory(4); }
void DesignerWindow::Command12_Click() { showCategory(5); }
void DesignerWindow::Command13_Click() { showCategory(6); }
void DesignerWindow::Command14_Click() { showCategory(7); }
void DesignerWindow::Command15_Click() { showCategory(8); }
void DesignerWindow::Command16_Click() { showCategory(9); }
void DesignerWindow::Command17_Click() { showCategory(10); }

void DesignerWindow::stopTimer1()
{
    Timer1->stop();
    TickQueue::instance().cancel(this);
}

void DesignerWindow::setTimer1Interval(int ms)
{
    // A running timer counts the new interval afresh from now, a stopped one stays stopped;
    // a tick that was already due belongs to the old interval and is dropped.
    Timer1->setInterval(ms);
    TickQueue::instance().cancel(this);
}

void DesignerWindow::Check2_Click()
{
    if (Check2->isChecked()) {
        Timer1->start();
        Check2->setText(QStringLiteral("暂停"));
    } else {
        stopTimer1();
        Check2->setText(QStringLiteral("播放"));
    }
}

void DesignerWindow::Command4_Click() { setTimer1Interval(kNormalIntervalMs); }
void DesignerWindow::Command5_Click() { setTimer1Interval(kFastIntervalMs); }
void DesignerWindow::Command6_Click() { setTimer1Interval(kHighIntervalMs); }
void DesignerWindow::Command7_Click() { setTimer1Interval(kSlowIntervalMs); }

void DesignerWindow::Command2_Click() { SaveCanvasImage(cdlg, canvas(), this); }

void DesignerWindow::Command3_Click() { showOwnedByForm1(WindowKind::zvtdy); }
void DesignerWindow::Command18_Click() { showOwnedByForm1(WindowKind::Form20); }
void DesignerWindow::Command19_Click() { showOwnedByForm1(WindowKind::Form30); }

// --- registry -----------------------------------------------------------------------------

namespace {
WallpaperAccess g_wallpaperAccess = WallpaperAccess::Hidden;
}

WallpaperAccess wallpaperAccess() { return g_wallpaperAccess; }
void setWallpaperAccess(WallpaperAccess access) { g_wallpaperAccess = access; }

void registerDesignerWindows()
{
    WindowRegistry& registry = WindowRegistry::instance();
    for (int k = 1; k <= 10; ++k) {
        if (!registry.hasKind(designerKind(k)))
            registry.registerKind(designerKind(k), [k] { return std::make_unique<DesignerForm>(k); });
    }
}

DesignerForm& designerForm(int k) { return WindowRegistry::instance().as<DesignerForm>(designerKind(k)); }

} // namespace zovex
