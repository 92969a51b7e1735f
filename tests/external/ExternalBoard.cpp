#include "tests/external/ExternalBoard.h"

#include <QApplication>
#include <QPixmap>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {
std::string Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Wine does not hand QT_* variables to Windows programs: the harness names the platform (the
// windows one on wine's X screen) in FLASHER_TEST_PLATFORM. Set before the tests' QApplication,
// which otherwise takes the offscreen platform.
[[maybe_unused]] const bool PlatformNamed = [] {
    std::string platform = Variable("FLASHER_TEST_PLATFORM");
    if (!platform.empty()) qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform));
    return true;
}();
}   // namespace

std::string TExternalBoard::Port() { return Variable("FLASHER_TEST_PORT"); }

std::string TExternalBoard::FontsFile() { return Variable("FLASHER_TEST_FONTS"); }

void TExternalBoard::SaveShot(QWidget& widget, const std::string& name)
{
    std::string folder = Variable("FLASHER_TEST_SHOTS");
    if (folder.empty()) return;
    QApplication::processEvents();
    std::string file = folder + "/" + name + ".png";
    if (!widget.grab().save(QString::fromStdString(file), "PNG"))
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
}
