#include "designer_window.h"

#include "category.h"
#include "control_table.h"
#include "handler_guard.h"
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
#include <vector>

namespace zovex {

namespace {

constexpr Colour kFormBack = RGB(0, 64, 64);
constexpr Colour kPanelShape = RGB(64, 0, 64);
constexpr Colour kRingGreen = RGB(0, 250, 0);

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

DesignerForm::DesignerForm(const Services& services, int category, WallpaperAccess access)
    : m_services(services), m_category(category), m_wallpaperAccess(access)
{
    (void)designerDescription(category); // rejects a category outside 1..10 here, not later
}

const DesignerDescription& DesignerForm::description() const { return designerDescription(m_category); }

DesignerWindow& DesignerForm::window() { return static_cast<DesignerWindow&>(widget()); }

std::unique_ptr<QWidget> DesignerForm::createWidget()
{
    auto w = std::make_unique<DesignerWindow>(*this);
    w->Form_Load();
    return w;
}

// --- DesignerWindow: building -------------------------------------------------------------

DesignerWindow::DesignerWindow(DesignerForm& form)
    : QWidget(nullptr), cdlg(form.services().fileDialogs), m_form(form), m_services(form.services())
{
    const DesignerDescription& d = description();
    setUpPictureWindow(*this, QString::fromLatin1(d.formName), kDesignerCaption);
    setWindowIcon(designerIcon());
    // Not only the background: the designer's palette also gives its texts their black.
    setAutoFillBackground(true);
    setColours(*this, RGB(0, 0, 0), kFormBack);

    // Normal size centred on the screen; the window opens maximised.
    const QSize client = twipsSize(d.clientWidthTwips, d.clientHeightTwips);
    resize(client);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(client.width() / 2, client.height() / 2));
    setWindowState(Qt::WindowMaximized);

    buildControls();
    setFocusOrder();
    m_patternRepaints = std::make_unique<RepaintPacer>(*this, [this] {
        Picture1->updateCanvas();
        for (ImageBox* image : Image)
            image->update();
    });

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    // Precise: the 3000 ms of a new window is 3000 ms, and 高速 is as fast as ticks can follow.
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(kNormalIntervalMs);
    // The tick itself waits its turn in the program's tick queue, so that input waiting is
    // served between any two ticks of all windows.
    connect(Timer1, &QTimer::timeout, this, [this] { m_services.ticks.request(this, [this] { Timer1_Timer(); }); });
    Timer1->start();
}

DesignerWindow::~DesignerWindow() { m_services.ticks.cancel(this); }

namespace {

using Control = WindowControl<DesignerWindow>;
using W = DesignerWindow;
constexpr auto kStatements = FailureStyle::StatementByStatement;
constexpr Colour kCommandFace = RGB(192, 192, 255);

// The demonstration strip, first in the focus order and under the canvas: Command1(1) is made
// first, then Command1(0) and Command1(2).
const Control kStrip[] = {
    {{"Text1", ControlKind::TextBox, {1020, 60, 495, 315}, "5", RGB(0, 0, 0), RGB(255, 255, 255)}, &W::Text1},
};
const ControlRow kCommand1[3] = {
    {"Command1(0)", ControlKind::Button, {1620, 60, 855, 315}, "Color"},
    {"Command1(1)", ControlKind::Button, {4260, 60, 1695, 315}, "Polygon Star"},
    {"Command1(2)", ControlKind::Button, {2520, 60, 1695, 315}, "Polygon"},
};

constexpr TwipsBox kPicture1{0, 0, 12915, 12915};
constexpr TwipsBox kImages[5] = {
    {13050, 120, 5775, 5775},  {18840, 120, 2565, 2565}, {18840, 2700, 1635, 1635},
    {18840, 4350, 1035, 1035}, {18840, 5400, 480, 480},
};

// The panel right of the canvas, down to the category buttons.
const Control kPanelTop[] = {
    {{"Label2", ControlKind::Label, {13680, 6120, 3735, 375}, "ZovexTessaly控制器", RGB(255, 192, 128), {}, kBold10_5},
     &W::Label2},
    {{"Check2", ControlKind::CheckBox, {13470, 6510, 1335, 255}, "暂停", RGB(255, 0, 0), RGB(64, 0, 64), kBold9},
     &W::Check2,
     &W::Check2_Click},
    {{"Command2", ControlKind::ColourButton, {13260, 6900, 1245, 375}, "保存图案", {}, kCommandFace},
     &W::Command2,
     &W::Command2_Click,
     kStatements},
    {{"Command3", ControlKind::ColourButton, {13260, 7350, 1245, 375}, "打印图案", {}, kCommandFace},
     &W::Command3,
     &W::Command3_Click},
    {{"Label3", ControlKind::Label, {14730, 6990, 1425, 345}, "宽度方案选择", RGB(255, 255, 128), {}, kBold9},
     &W::Label3},
    {{"Combo1", ControlKind::ComboBox, {14730, 7410, 1455, 300}, "", RGB(0, 0, 255), RGB(192, 255, 255)}, &W::Combo1},
    {{"Label4", ControlKind::Label, {16350, 6990, 1455, 315}, "配色方案选择", RGB(255, 255, 128), {}, kBold9},
     &W::Label4},
    {{"Combo2", ControlKind::ComboBox, {16350, 7410, 1455, 300}, "", RGB(0, 0, 255), RGB(192, 255, 255)}, &W::Combo2},
    {{"Label6", ControlKind::Label, {13740, 7860, 1725, 375}, "大类选择 已选择", RGB(255, 128, 0), {}, kBold10_5},
     &W::Label6},
    {{"Label8", ControlKind::Label, {15450, 7860, 1275, 285}, "", RGB(215, 21, 123), {}, kBold10_5}, &W::Label8},
};

// The category buttons "1" to "10", Command8 to Command17, two rows of five.
constexpr void (W::*kCategoryHandlers[10])() = {
    &W::Command8_Click,  &W::Command9_Click,  &W::Command10_Click, &W::Command11_Click, &W::Command12_Click,
    &W::Command13_Click, &W::Command14_Click, &W::Command15_Click, &W::Command16_Click, &W::Command17_Click,
};

ControlRow categoryButtonRow(int j, double button1Points)
{
    static const QByteArray names[10] = {"Command8",  "Command9",  "Command10", "Command11", "Command12",
                                         "Command13", "Command14", "Command15", "Command16", "Command17"};
    const double left = 13740 + 750 * ((j - 1) % 5);
    const double top = j <= 5 ? 8250 : 8850;
    return {names[j - 1].constData(),
            ControlKind::ColourButton,
            {left, top, 495, 495},
            QString::number(j),
            {},
            RGB(0, 192, 0),
            {j == 1 ? button1Points : 12.0, true}};
}

// From the speed control down to the three texts.
const Control kPanelBottom[] = {
    {{"Label10", ControlKind::Label, {13350, 9600, 1725, 315}, "设计速度控制", RGB(0, 64, 0), {}, kBold10_5},
     &W::Label10},
    {{"Label9", ControlKind::Label, {13320, 9900, 885, 375}, "设计总量", RGB(255, 0, 0), {}, kBold9}, &W::Label9},
    {{"Label11", ControlKind::Label, {14160, 9900, 2565, 285}, "", RGB(0, 0, 128), RGB(192, 255, 192)}, &W::Label11},
    {{"Command4", ControlKind::ColourButton, {13350, 10470, 915, 375}, "正常", {}, RGB(128, 128, 255)},
     &W::Command4,
     &W::Command4_Click},
    {{"Command5", ControlKind::ColourButton, {14430, 10470, 945, 375}, "快速", {}, RGB(255, 128, 255)},
     &W::Command5,
     &W::Command5_Click},
    {{"Command6", ControlKind::ColourButton, {15540, 10470, 915, 375}, "高速", {}, RGB(255, 128, 0)},
     &W::Command6,
     &W::Command6_Click},
    {{"Command7", ControlKind::ColourButton, {16620, 10470, 915, 375}, "慢速", {}, RGB(0, 128, 128)},
     &W::Command7,
     &W::Command7_Click},
    {{"Text2", ControlKind::TextBox, {13230, 11220, 4575, 345}, defaultText2(), RGB(0, 0, 192), RGB(192, 255, 192)},
     &W::Text2},
    {{"Text3", ControlKind::TextBox, {13230, 11670, 4575, 345}, defaultText3(), RGB(0, 0, 192), RGB(192, 255, 192)},
     &W::Text3},
    {{"Text4", ControlKind::TextBox, {13230, 12120, 4575, 345}, defaultText4(), RGB(128, 0, 128), RGB(255, 192, 255)},
     &W::Text4},
};

// Right of the panel; Command19 only where the window has it.
const Control kRightColumn[] = {
    {{"Command18", ControlKind::ColourButton, {20010, 5490, 1245, 375}, "剪裁保存", {}, kCommandFace},
     &W::Command18,
     &W::Command18_Click},
};
const Control kCommand19[] = {
    {{"Command19", ControlKind::ColourButton, {20010, 5040, 1245, 375}, "高速排版", {}, kCommandFace},
     &W::Command19,
     &W::Command19_Click},
};

// The decorative shapes of the form, under every control of the panel.
struct Shape {
    TwipsBox box;
    bool inscribedCircle; // the circle inscribed in the box, else the ellipse filling it
    Colour fill;
};
const Shape kShapes[] = {
    {{12960, 30, 8475, 5955}, true, kPanelShape},
    {{12960, 5970, 8475, 6645}, true, kPanelShape},
    {{13170, 7830, 4695, 1605}, false, RGB(0, 128, 128)},
    {{13200, 9510, 4695, 1455}, false, RGB(128, 128, 255)},
};
// Around the information label; filled in Form1 only.
constexpr TwipsBox kInformationEllipse{17970, 6090, 3345, 6405};

QRectF shapeRect(const TwipsBox& b, bool inscribedCircle)
{
    if (!inscribedCircle)
        return QRectF(twipsRect(b.left, b.top, b.width, b.height));
    const double dia = std::min(b.width, b.height);
    return QRectF(twipsRect(b.left + (b.width - dia) / 2, b.top + (b.height - dia) / 2, dia, dia));
}

} // namespace

void DesignerWindow::buildControls()
{
    const DesignerDescription& d = description();

    buildWindowControls(*this, kStrip);
    for (const int i : {1, 0, 2}) {
        Command1[static_cast<std::size_t>(i)] = buildControl<QPushButton>(*this, kCommand1[i]);
        connectHandler(boxes(), Command1[static_cast<std::size_t>(i)], &QPushButton::clicked, this, kStatements,
                       [this, i] { Command1_Click(i); });
    }

    const QSize canvasSize = twipsSize(kPicture1.width, kPicture1.height);
    Picture1 = new PictureBox(canvasSize, category(m_form.category()).canvasBack, this);
    placeControl(*Picture1, "Picture1", kPicture1);
    static constexpr const char* kImageNames[5] = {"Image1", "Image2", "Image3", "Image4", "Image5"};
    for (std::size_t i = 0; i < 5; ++i) {
        Image[i] = new ImageBox(this);
        placeControl(*Image[i], kImageNames[i], kImages[i]);
    }

    buildWindowControls(*this, kPanelTop);
    Check2->setChecked(true);
    for (int j = 1; j <= 10; ++j) {
        categoryButtons[static_cast<std::size_t>(j - 1)] = buildControlAs<QPushButton>(
            buildWindowControl(*this, {categoryButtonRow(j, d.button1Points), {}, kCategoryHandlers[j - 1]}));
    }
    buildWindowControls(*this, kPanelBottom);
    Text2->setVisible(d.text2 == Visibility::Shown);
    Text3->setVisible(d.text3 == Visibility::Shown);

    // The label keeps the system's CR LF text; on screen a line break is a line feed.
    informationLabel =
        buildControl<QLabel>(*this, {d.informationLabelName,
                                     ControlKind::Label,
                                     {18030, 7170, 3300, 3800},
                                     QString(informationText()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                                     RGB(192, 192, 255)});
    informationLabel->setWordWrap(true);
    // The substitute face for 宋体 has taller lines than 宋体 itself: grow downwards (the
    // window has room below) rather than cut the last lines off.
    informationLabel->resize(
        informationLabel->width(),
        std::max(informationLabel->height(), informationLabel->heightForWidth(informationLabel->width())));

    buildWindowControls(*this, kRightColumn);
    if (d.command19 == WallpaperButton::PresentHidden) {
        buildWindowControls(*this, kCommand19);
        Command19->setVisible(m_form.wallpaperAccess() == WallpaperAccess::Shown);
    }

    categoryLabel = buildControl<QLabel>(*this, {d.categoryLabelName, ControlKind::Label, {}, "", RGB(0, 0, 0)});
    categoryLabel->setVisible(false);
}

void DesignerWindow::setFocusOrder()
{
    // The strip heads the order, so "Polygon Star" has the focus when the window first shows.
    std::vector<QWidget*> order = {Command1[1], Text1,    Command1[0], Command1[2], Check2,
                                   Command2,    Command3, Combo1,      Combo2};
    order.insert(order.end(), categoryButtons.begin(), categoryButtons.end());
    order.insert(order.end(), {Command4, Command5, Command6, Command7, Text2, Text3, Text4, Command18});
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
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
    for (const Shape& shape : kShapes) {
        p.setBrush(toQColor(shape.fill));
        p.drawEllipse(shapeRect(shape.box, shape.inscribedCircle));
    }
    if (description().fillsInformationEllipse)
        p.setBrush(toQColor(kPanelShape));
    else
        p.setBrush(Qt::NoBrush);
    p.drawEllipse(shapeRect(kInformationEllipse, false));
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
    if (m_services.tickGate.isHeld())
        return;
    runHandler(boxes(), FailureStyle::StatementByStatement, this, [&] {
        // Each pattern is drawn at the device pixels of the screen the window is on now.
        Picture1->followScreenRatio();
        // The previews let go of the last pattern first, so the canvas holds its image alone and
        // the new pattern is drawn in place; the previews then share the finished canvas's
        // pixels: no copy of the canvas is made for them. (Nothing is painted within a tick.)
        for (ImageBox* image : Image)
            image->releasePicture();
        const TickOutput out = runGenerationTick(canvas(), m_services.random, category(m_form.category()),
                                                 m_form.DesignCount, tickInputs(), PreviewSnapshot::Share);
        Label11->setText(out.countCaption);
        for (ImageBox* image : Image)
            image->setPicture(out.preview, ImageBox::Repaint::ByCaller);
        m_patternRepaints->request();
    });
}

void DesignerWindow::Command1_Click(int)
{
    Picture1->followScreenRatio();
    Canvas& c = canvas();
    attempt([&] { c.Cls(); });
    attempt([&] {
        const std::int16_t n = textToInt16(Text1->text().toStdString());
        DrawStarRing(c, 1200, 1200, 3600, 3600, n, kRingGreen);
    });
    Picture1->updateCanvas();
}

QPushButton* DesignerWindow::categoryButton(int j) const
{
    if (j < 1 || j > 10)
        return nullptr;
    return categoryButtons[static_cast<std::size_t>(j - 1)];
}

void DesignerWindow::showCategory(int j)
{
    WindowRegistry& registry = m_services.windows;
    registry.form(designerKind(j)).Show();
    for (int i = 1; i <= 10; ++i) {
        if (i != j)
            registry.form(designerKind(i)).Hide();
    }
}

void DesignerWindow::stopTimer1()
{
    Timer1->stop();
    m_services.ticks.cancel(this);
}

void DesignerWindow::setTimer1Interval(int ms)
{
    // A running timer counts the new interval afresh from now, a stopped one stays stopped;
    // a tick that was already due belongs to the old interval and is dropped.
    Timer1->setInterval(ms);
    m_services.ticks.cancel(this);
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

void DesignerWindow::Command2_Click() { SaveCanvasImage(boxes(), cdlg, canvas(), this); }

void DesignerWindow::Command3_Click() { showOwnedByForm1(m_services.windows, WindowKind::zvtdy); }
void DesignerWindow::Command18_Click() { showOwnedByForm1(m_services.windows, WindowKind::Form20); }
void DesignerWindow::Command19_Click() { showOwnedByForm1(m_services.windows, WindowKind::Form30); }

// --- registry -----------------------------------------------------------------------------

void registerDesignerWindows(const Services& services, WallpaperAccess access)
{
    WindowRegistry& registry = services.windows;
    for (int k = 1; k <= 10; ++k) {
        if (!registry.hasKind(designerKind(k)))
            registry.registerKind(
                designerKind(k), [services, k, access] { return std::make_unique<DesignerForm>(services, k, access); });
    }
}

DesignerForm& designerForm(WindowRegistry& registry, int k) { return registry.as<DesignerForm>(designerKind(k)); }

} // namespace zovex
