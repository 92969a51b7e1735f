#include "widgets/Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool InstallQtTranslation(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    // Qt's own folder (Debian's package), else translations/ beside the program (the Windows
    // package, whose Qt has no folder of its own on the user's machine).
    const QString name = QStringLiteral("qtbase_ru");
    if (!translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        !translator->load(name, QCoreApplication::applicationDirPath() + QStringLiteral("/translations"))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
