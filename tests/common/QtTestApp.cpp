// One QApplication for a whole window-test program, on a platform that needs no display, in
// Russian as the program's own.
#include "widgets/Translation.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = new QApplication(argc_, argv_);
        InstallQtTranslation(*app_);   // as the program does: standard buttons read "Да"/"Нет"
    }
    void TearDown() override { delete app_; }

private:
    int argc_ = 1;
    char name_[16] = "window_tests";
    char* argv_[2] = {name_, nullptr};
    QApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const Qt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);
}   // namespace
