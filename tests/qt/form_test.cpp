// The Qt window built from frmMain's layout, on Qt's offscreen platform.
#include <QAction>
#include <QBuffer>
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
#include "assets/embedded.h"
#include "platform/ports/adapter_hooks.h"
#include "platform/ports/desktop_rules.h"
#include "platform/qt/qt_form.h"
#include "platform/qt/qt_picture.h"
#include "platform/qt/qt_runtime.h"
#include "platform/qt/qt_window_system.h"
#include "tests/support/fakes.h"

namespace tw {
namespace {

using testing::FakeRuntime;

// What the conformance table (tests/conformance/) does not cover: how the
// Qt window is set up from the layout.
class QtFormTest : public ::testing::Test {
protected:
    QtFormTest() : form(frmMainLayout(), runtime) {}
    QLabel* LabelWidget(const char* name) { return form.findChild<QLabel*>(name); }

    FakeRuntime runtime{FakeRuntime::OnEnd::Exit};  // events that end the program end the test
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

TEST_F(QtFormTest, ATickWritesTheCaptionsForTheInstantItRead) {
    frmMain main(form, runtime, DesktopWindowSystem(), [] { return DateTime{2026, 12, 8, 12, 0, 0}; });
    main.Timer1_Timer();
    EXPECT_EQ(LabelWidget("Label1")->text(), "16 days,");
    EXPECT_EQ(LabelWidget("Label2")->text(), "12 hours, 0 minutes and 0 seconds.");
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

TEST(QtDialogPlacement, CentredOverTheOwnerAndWhollyOnItsScreenWithItsFrame) {
    struct Case {
        const char* name;
        QRect owner;
        QSize box;
        QPoint expected;
    };
    const QRect screen(0, 0, 1024, 768);
    const QMargins frame(1, 20, 2, 3);  // left, top (the title bar), right, bottom
    const QSize box(346, 128);
    for (const Case& c : {Case{"centred", QRect(420, 278, 183, 211), box, QPoint(338, 319)},
                          Case{"by the bottom right", QRect(841, 600, 183, 211), box, QPoint(676, 637)},
                          Case{"off the top left", QRect(-150, -90, 183, 211), box, QPoint(1, 20)},
                          Case{"larger than the screen", QRect(420, 278, 183, 211), QSize(2000, 900), QPoint(1, 20)}}) {
        EXPECT_EQ(qt::CentredOver(c.owner, c.box, frame, screen), QRect(c.expected, c.box)) << c.name;
    }
}

TEST(QtPicture, APngIsReadOnlyWithinThePixelCap) {
    // 16385 x 16385 is one row and column past the cap; at one bit a pixel
    // it stays small until it is made 32-bit.
    QImage huge(16385, 16385, QImage::Format_Mono);
    huge.fill(0);
    QByteArray hugePng;
    QBuffer out(&hugePng);
    ASSERT_TRUE(huge.save(&out, "PNG"));
    huge = QImage();
    const auto bytes = [](const QByteArray& a) {
        return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(a.constData()),
                                             static_cast<std::size_t>(a.size()));
    };
    const std::optional<Bitmap> shipped = qt::DecodePng(assets::window_150_png());
    ASSERT_TRUE(shipped.has_value()) << "a rendition we ship reads";
    EXPECT_EQ(shipped->Width(), PixelScale(1.5).Edge(179));
    EXPECT_FALSE(qt::DecodePng(bytes(hugePng)).has_value());
    EXPECT_FALSE(qt::DecodePng(bytes(hugePng.left(40))).has_value()) << "a cut file";
}

}  // namespace
}  // namespace tw
