// The designer windows Form1..Form10: one design, built from Form2's layout and the row of the
// window's category (designer_description.h).
//
// A DesignerForm is the registry's persistent object of one category: it holds DesignCount,
// which survives closing the window. Its widget, the DesignerWindow, holds the controls, the
// canvas Picture1 and the generation timer Timer1, and is built anew (Form_Load included) by
// the next reference after a close. Every handler is a public member named after its control
// and event; handlers never let an exception out, and tests call them directly (Timer1_Timer
// included) instead of waiting for the timer. When Timer1 fires, the tick waits its turn in
// the TickQueue, which runs one tick of any window per pass of the event loop. Both hold the
// program's Services they were made with: the tick queue and gate, the random source, the
// registry (the other designer windows and the tools) and the desktop's boxes and dialogs.
#pragma once

#include "common_dialog.h"
#include "designer_description.h"
#include "generation_tick.h"
#include "image_box.h"
#include "picture_box.h"
#include "repaint_pacer.h"
#include "services.h"
#include "window_registry.h"

#include <QRect>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace zovex {

// Intervals of Timer1, in milliseconds: the start value and the four speed buttons.
inline constexpr int kNormalIntervalMs = 3000; // 正常, and every new window
inline constexpr int kFastIntervalMs = 1000;   // 快速
inline constexpr int kHighIntervalMs = 1;      // 高速
inline constexpr int kSlowIntervalMs = 6000;   // 慢速

class DesignerWindow;

// Whether Form1 shows "高速排版", the way into the wallpaper window. The program keeps it hidden
// unless started to show it.
enum class WallpaperAccess { Hidden, Shown };

class DesignerForm final : public Form {
public:
    DesignerForm(const Services& services, int category, WallpaperAccess access = WallpaperAccess::Hidden);

    int category() const { return m_category; }
    const DesignerDescription& description() const;
    const Services& services() const { return m_services; }
    WallpaperAccess wallpaperAccess() const { return m_wallpaperAccess; }

    // Patterns composed in this window since the program started, across closes.
    std::int32_t DesignCount = 0;

    // The window, loaded if need be.
    DesignerWindow& window();

protected:
    std::unique_ptr<QWidget> createWidget() override;

private:
    Services m_services;
    int m_category;
    WallpaperAccess m_wallpaperAccess;
};

class DesignerWindow final : public QWidget {
public:
    explicit DesignerWindow(DesignerForm& form);
    ~DesignerWindow() override;

    DesignerForm& form() { return m_form; }
    const Services& services() const { return m_services; }
    // The message boxes its handlers report through.
    MessageBoxes& boxes() const { return m_services.messageBoxes; }
    const DesignerDescription& description() const { return m_form.description(); }
    Canvas& canvas() { return Picture1->canvas(); }

    // What the next tick reads from the controls.
    TickInputs tickInputs() const;
    // The category button with caption j (Command8 is "1", ..., Command17 is "10").
    QPushButton* categoryButton(int j) const;

    // The demonstration strip, under the canvas.
    QLineEdit* Text1 = nullptr;
    std::array<QPushButton*, 3> Command1{}; // 0 "Color", 1 "Polygon Star", 2 "Polygon"

    PictureBox* Picture1 = nullptr;
    std::array<ImageBox*, 5> Image{}; // Image1..Image5
    // Each tick's new pattern is shown on the canvas and the previews at the pace of the screen:
    // at once, or at the next frame with the newest pattern then.
    RepaintPacer& patternRepaints() { return *m_patternRepaints; }
    QLabel* Label2 = nullptr;
    QCheckBox* Check2 = nullptr;
    QPushButton* Command2 = nullptr; // 保存图案
    QPushButton* Command3 = nullptr; // 打印图案
    QLabel* Label3 = nullptr;
    QComboBox* Combo1 = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* Combo2 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label8 = nullptr;
    // The category buttons Command8 ("1") ... Command17 ("10"); categoryButton(j) is "j".
    std::array<QPushButton*, 10> categoryButtons{};
    QLabel* Label10 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label11 = nullptr;
    QPushButton* Command4 = nullptr; // 正常
    QPushButton* Command5 = nullptr; // 快速
    QPushButton* Command6 = nullptr; // 高速
    QPushButton* Command7 = nullptr; // 慢速
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLabel* informationLabel = nullptr; // Label15 in Form1, Label12 elsewhere
    QPushButton* Command18 = nullptr;   // 剪裁保存
    QPushButton* Command19 = nullptr;   // 高速排版: Form1 only, hidden unless the form's wallpaperAccess()
    QLabel* categoryLabel = nullptr;    // Label14 in Form1, Label7 elsewhere; hidden
    QTimer* Timer1 = nullptr;

    // The window's file dialog, kept for the window's life (its FileName above all).
    CommonDialog cdlg;

    void Form_Load();
    void Timer1_Timer();
    void Command1_Click(int index);
    // The category buttons: Command8_Click shows category 1, ..., Command17_Click category 10.
    void Command8_Click() { showCategory(1); }
    void Command9_Click() { showCategory(2); }
    void Command10_Click() { showCategory(3); }
    void Command11_Click() { showCategory(4); }
    void Command12_Click() { showCategory(5); }
    void Command13_Click() { showCategory(6); }
    void Command14_Click() { showCategory(7); }
    void Command15_Click() { showCategory(8); }
    void Command16_Click() { showCategory(9); }
    void Command17_Click() { showCategory(10); }
    void Check2_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command2_Click();
    void Command3_Click();
    void Command18_Click();
    void Command19_Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void setFocusOrder();
    // Timer1 stopped or given a new interval, with any tick it had waiting dropped.
    void stopTimer1();
    void setTimer1Interval(int ms);
    // Shows category j's window and hides the nine others, creating those that do not exist.
    void showCategory(int j);

    DesignerForm& m_form;
    Services m_services; // the form's, kept here: the window may outlive the form's members
    std::unique_ptr<RepaintPacer> m_patternRepaints;
};

// Registers Form1..Form10 with the registry of `services`, Form1 with "高速排版" as `access`
// says; later calls change nothing.
void registerDesignerWindows(const Services& services, WallpaperAccess access = WallpaperAccess::Hidden);

// The registry's object of category k (1..10), made if need be; registerDesignerWindows first.
DesignerForm& designerForm(WindowRegistry& registry, int k);

} // namespace zovex
