// Qt's own dialogs and standard buttons in Russian ("Да"/"Нет"), like the rest of the interface.
#pragma once

class QCoreApplication;

// Loads Qt's Russian translation (Debian package qt6-translations-l10n; translations/ beside the
// program on Windows) into `app`. False when it is not installed: the standard buttons then stay
// in English, nothing else changes.
bool InstallQtTranslation(QCoreApplication& app);
