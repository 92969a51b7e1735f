// The busy guard and input switch both windows run their workflows with.
#include "widgets/WindowWork.h"

#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {
// A window with two inputs, the second one focused, shown and active.
class WindowWorkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(first);
        layout->addWidget(second);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        second->setFocus();
        ASSERT_EQ(window.focusWidget(), second);
    }

    QWidget window;
    QLineEdit* first = new QLineEdit(&window);
    QLineEdit* second = new QLineEdit(&window);
    TWindowWork work{window};
};
}   // namespace

TEST_F(WindowWorkTest, InputOffAndOnGivesTheFocusBack)
{
    work.SetInputEnabled(false);
    EXPECT_FALSE(window.isEnabled());
    work.SetInputEnabled(false);   // a second "off" keeps the control remembered by the first
    work.SetInputEnabled(true);
    EXPECT_TRUE(window.isEnabled());
    EXPECT_EQ(window.focusWidget(), second);
    EXPECT_TRUE(second->hasFocus());
}

TEST_F(WindowWorkTest, OneWorkflowAtATime)
{
    int outer = 0, inner = 0;
    bool busyInside = false;
    work.Run([&] {
        ++outer;
        busyInside = work.Busy();
        work.Run([&] { ++inner; });
    });
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(inner, 0);
    EXPECT_TRUE(busyInside);
    EXPECT_FALSE(work.Busy());
    work.Run([&] { ++inner; });
    EXPECT_EQ(inner, 1);
}

TEST_F(WindowWorkTest, AWorkflowThatThrowsLeavesTheWindowFree)
{
    EXPECT_THROW(work.Run([] { throw std::runtime_error("lost"); }), std::runtime_error);
    EXPECT_FALSE(work.Busy());
}
