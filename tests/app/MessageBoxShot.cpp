// Takes the picture of a question box for the documentation, in Russian as the program shows it.
//   xvfb-run -a build/bin/message-box-shot docs/question-box.png
#include "util/Dialogue.h"
#include "widgets/FileDialog.h"
#include "widgets/Translation.h"

#include <QApplication>
#include <QMessageBox>
#include <QPixmap>

#include <cstdio>

// Under the sanitizers: the X11 platform plugin's D-Bus library keeps a buffer to the end.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so"; }

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.png\n", argv[0]);
        return 2;
    }
    if (!InstallQtTranslation(app)) std::fprintf(stderr, "Qt's Russian translation is not installed\n");
    auto box = BuildMessageBox(nullptr, "Внимание!", "Стереть блок №2?", TBoxKind::AskDefaultNo);
    box->show();
    QApplication::processEvents();
    bool ok = box->grab().save(QString::fromLocal8Bit(argv[1]), "PNG");
    if (!ok) std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return ok ? 0 : 1;
}
