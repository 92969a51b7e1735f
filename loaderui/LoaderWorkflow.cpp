#include "loaderui/LoaderWorkflow.h"

#include "loader/LoaderImageWorkflow.h"
#include "loader/LoaderLink.h"
#include "loaderui/LoaderWindow.h"

#include <memory>

void RunLoaderWorkflow(TLoaderLink& link, TSettings& settings, QWidget* owner, TUserDialogue& ui, TFontSet& fonts,
                       bool includeFonts, const std::string& fontFile, const TFirmware& firmware)
{
    // 64 KiB: on the heap, not on the window thread's stack.
    auto image = std::make_unique<TBlockImage>();
    if (BuildLoaderImage(link, firmware, includeFonts, fontFile, ui, fonts, *image) != TOutcome::Done) return;
    link.OpenLoaderPort(ui);
    if (link.LastFailure()) {
        link.CloseLoaderPort();
        return;
    }
    // On the main window's information line, which stays in sight under the loader window.
    link.SayIfSlowAdapter(ImageChunks(*image), ui);
    OpenLoaderWindow(link, *image, settings, owner);
    link.CloseLoaderPort();
}
