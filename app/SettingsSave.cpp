#include "app/SettingsSave.h"

#include "util/Dialogue.h"
#include "widgets/FileDialog.h"

#include <cstdio>

bool SaveSettings(const TSettings& settings, const std::string& path, bool showBox)
{
    TMaybeProblem problem = SaveSettings(settings, path);
    if (!problem) return true;
    const std::string text = "Настройки не сохранены: " + problem->Reason();
    std::fprintf(stderr, "flasher: %s\n", text.c_str());
    if (showBox) ShowMessageBox(nullptr, "Ошибка!", text, TBoxKind::Error);
    return false;
}
