// The Qt window built from frmMain's layout, on Qt's offscreen platform.
#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QMenu>
// Mouse events through the window system, which keeps the button state
// the move request reads.
#define QTEST_QPA_MOUSE_HANDLING
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <memory>
#include <string>
#include <vector>

#include "app/frmMain.h"
#include "app/frmMain_layout.h"
#include "platform/ports/adapter_hooks.h"
#include "platform/ports/desktop_rules.h"
#include "platform/qt/qt_form.h"
#include "platform/qt/qt_runtime.h"
#include "platform/qt/qt_window_system.h"
#include "tests/support/fakes.h"

namespace tw {
namespace {

using testing::FakeRuntime;

class RecordingHandlers final : public FormHandlers {
public:
    void Form_MouseDown(std::int16_t button, std::int16_t, float x, float y) override {
        presses.push_back({button, x, y});
    }
    void Menu_Click(const std::string& item) override { clicks.push_back(item); }
    struct Press {
        std::int16_t button;
        float x, y;
    };
    std::vector<Press> presses;
    std::vector<std::string> clicks;
};

class QtFormTest : public ::testing::Test {
protected:
    QtFormTest() : form(frmMainLayout(), runtime) { form.SetHandlers(&handlers); }
    QLabel* LabelWidget(const char* name) { return form.findChild<QLabel*>(name); }

    FakeRuntime runtime{FakeRuntime::OnEnd::Exit};  // events that end the program end the test
    RecordingHandlers handlers;
    qt::QtForm form;
};

TEST_F(QtFormTest, WindowIsAFramelessToolWindowOfTheLayoutsSize) {
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags & Qt::FramelessWindowHint);
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);  // no taskbar button
    EXPECT_FALSE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form.size(), QSize(183, 211));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
}

TEST_F(QtFormTest, LabelsAreLaidOutAsTheLayoutSays) {
    struct Expected {
        const char* name;
        QRect geometry;
        int pixelSize;
        bool bold;
    };
    for (const Expected& e : {Expected{"Label1", QRect(24, 120, 129, 17), 13, true},
                              Expected{"Label2", QRect(40, 136, 105, 41), 11, false}}) {
        QLabel* label = LabelWidget(e.name);
        ASSERT_NE(label, nullptr) << e.name;
        EXPECT_EQ(label->geometry(), e.geometry) << e.name;
        EXPECT_EQ(label->font().pixelSize(), e.pixelSize) << e.name;
        EXPECT_EQ(label->font().bold(), e.bold) << e.name;
        EXPECT_EQ(label->alignment(), Qt::AlignHCenter | Qt::AlignTop) << e.name;
        EXPECT_TRUE(label->wordWrap()) << e.name;
        EXPECT_FALSE(label->autoFillBackground()) << e.name;
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::white)) << e.name;
        EXPECT_EQ(label->text(), "Loading") << e.name;
    }
}

TEST(QtFormLayout, TimersTickAndTheWindowStandsAsLaidOut) {
    FakeRuntime runtime{FakeRuntime::OnEnd::Exit};  // events that end the program end the test
    FormLayout layout = frmMainLayout();
    layout.timers = {TimerLayout{"Fast", 1, true}, TimerLayout{"Zero", 0, true}, TimerLayout{"Off", 20, false}};
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    for (const bool centred : {true, false}) {
        layout.centreOnScreen = centred;
        qt::QtForm form(layout, runtime);
        form.StartTimers();
        form.PlaceOnScreen();
        const auto* fast = form.findChild<QTimer*>("Fast");
        ASSERT_NE(fast, nullptr);
        EXPECT_TRUE(fast->isActive());
        EXPECT_EQ(fast->interval(), kMinTimerPeriodMs) << "never faster than the window system delivers";
        EXPECT_FALSE(form.findChild<QTimer*>("Zero")->isActive()) << "an interval of 0 never ticks";
        EXPECT_FALSE(form.findChild<QTimer*>("Off")->isActive());
        const QPoint centre(screen.x() + (screen.width() - 183) / 2, screen.y() + (screen.height() - 211) / 2);
        EXPECT_EQ(form.pos(), centred ? centre : screen.topLeft()) << centred;
    }
}

TEST_F(QtFormTest, MenuTreeIsHiddenWithAboutSeparatorExit) {
    QMenu* menu = form.Menu("menu");
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(menu->isVisible());
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), "About");
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->text(), "Exit");
}

TEST_F(QtFormTest, ATickWritesTheCaptionsForTheInstantItRead) {
    frmMain main(form, runtime, DesktopWindowSystem(), [] { return DateTime{2026, 12, 8, 12, 0, 0}; });
    main.Timer1_Timer();
    EXPECT_EQ(LabelWidget("Label1")->text(), "16 days,");
    EXPECT_EQ(LabelWidget("Label2")->text(), "12 hours, 0 minutes and 0 seconds.");
}

class PaintCounter final : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
    int paints = 0;
};

TEST_F(QtFormTest, ALabelRepaintsOnlyWhenItsTextChanges) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QLabel* widget = LabelWidget("Label1");
    PaintCounter counter;
    widget->installEventFilter(&counter);
    Label& label = form.GetLabel("Label1");

    label.SetCaption("Loading");
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);

    label.SetCaption("5 days,");
    QTRY_VERIFY(counter.paints > 0);
    EXPECT_EQ(widget->text(), "5 days,");
}

TEST_F(QtFormTest, PressesInsideALabelNeverReachTheWindow) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::mousePress(LabelWidget("Label1"), Qt::RightButton, {}, QPoint(5, 5));
    QTest::mousePress(LabelWidget("Label2"), Qt::LeftButton, {}, QPoint(50, 20));
    QTest::mouseRelease(LabelWidget("Label2"), Qt::LeftButton, {}, QPoint(50, 20));
    EXPECT_TRUE(handlers.presses.empty());

    QTest::mousePress(&form, Qt::RightButton, {}, QPoint(90, 60));
    ASSERT_EQ(handlers.presses.size(), 1u);
    EXPECT_EQ(handlers.presses[0].button, 2);
    EXPECT_FLOAT_EQ(handlers.presses[0].x, 90 * 15.0f);
    EXPECT_FLOAT_EQ(handlers.presses[0].y, 60 * 15.0f);
}

TEST_F(QtFormTest, AChosenMenuItemIsHandledBeforeThePopupReturns) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTimer::singleShot(50, [] {
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (popup == nullptr) return;
        popup->setActiveAction(popup->actions().at(0));
        QTest::keyClick(popup, Qt::Key_Return);
    });
    form.PopupMenu("menu");
    EXPECT_EQ(handlers.clicks, std::vector<std::string>{"menuAbout"});
}

TEST_F(QtFormTest, HandingARegionSetsTheWindowsInputRegion) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    WindowSystem& system = DesktopWindowSystem();
    const auto inputRegion = [&] { return form.windowHandle()->mask(); };

    const Rect rects[] = {{10, 0, 170, 1}, {0, 1, 179, 209}};
    system.SetWindowRgn(form.hWnd(), std::make_unique<Region>(Region::FromRects(rects)), true);
    QRegion expected;
    expected += QRect(10, 0, 160, 1);
    expected += QRect(0, 1, 179, 208);
    EXPECT_EQ(inputRegion(), expected);

    // An empty outline takes no clicks, which Qt's empty mask would not do.
    system.SetWindowRgn(form.hWnd(), std::make_unique<Region>(), true);
    EXPECT_FALSE(inputRegion().isEmpty());
    EXPECT_FALSE(inputRegion().intersects(form.rect()));

    system.SetWindowRgn(form.hWnd(), nullptr, true);
    EXPECT_TRUE(inputRegion().isEmpty());
    EXPECT_EQ(form.Outline(), nullptr);
}

TEST(QtRuntimeDeathTest, EndEndsAtOnceWithItsStatusAndNothingRunsAfter) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            std::atexit([] { std::fputs("ran after End", stderr); });
            qt::QtRuntime().End(3);
        },
        ::testing::ExitedWithCode(3), ::testing::Not(::testing::HasSubstr("ran after End")));
}

TEST(QtDialogPlacement, CentredOverTheOwnerAndWhollyOnItsScreen) {
    struct Case {
        const char* name;
        QRect owner;
        QSize frame;
        QPoint expected;
    };
    const QRect screen(0, 0, 1024, 768);
    const QSize box(346, 128);
    for (const Case& c : {Case{"centred", QRect(420, 278, 183, 211), QSize(0, 0), QPoint(338, 319)},
                          Case{"by the bottom right", QRect(841, 600, 183, 211), QSize(2, 21), QPoint(676, 619)},
                          Case{"off the top left", QRect(-150, -90, 183, 211), QSize(2, 21), QPoint(0, 0)}}) {
        EXPECT_EQ(qt::CentredOver(c.owner, box, c.frame, screen), QRect(c.expected, box)) << c.name;
    }
    EXPECT_EQ(qt::CentredOver(QRect(420, 278, 183, 211), QSize(2000, 900), QSize(), screen).topLeft(), QPoint(0, 0))
        << "larger than the screen: its top left corner stays on it";
}

TEST_F(QtFormTest, TheMoveStartsOnlyWhileTheLeftButtonIsDown) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    std::vector<QWidget*> moved;
    qt::QtWindowSystem system([&](QWidget& window) { moved.push_back(&window); });
    // The press handler asks for the move, as the gadget's does.
    struct AskForMove final : FormHandlers {
        AskForMove(WindowSystem& s, WindowHandle w) : system(s), window(w) {}
        void Form_MouseDown(std::int16_t, std::int16_t, float, float) override {
            system.SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
        }
        WindowSystem& system;
        WindowHandle window;
    } handler(system, form.hWnd());
    form.SetHandlers(&handler);

    for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton, Qt::LeftButton}) {
        QTest::mousePress(&form, button, {}, QPoint(90, 60));
        QTest::mouseRelease(&form, button, {}, QPoint(90, 60));
    }
    EXPECT_EQ(moved, std::vector<QWidget*>{&form});
    system.SendMessageA(form.hWnd(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    EXPECT_EQ(moved.size(), 1u) << "no button down, no move";
}

}  // namespace
}  // namespace tw
