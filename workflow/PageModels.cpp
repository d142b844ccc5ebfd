#include "workflow/PageModels.h"

namespace tavlo::workflow {

void ClearPagesForRead(ClockKind kind, PageModels& pages) {
    if (ReadClearsPages(kind)) {
        settings::ClearBasicPage(pages.basic);
        wifi::ResetWifiPage(pages.wifi);
    }
}

void ShowRead(const ReadResult& read, ClockKind kind, PageModels& pages) {
    if (!ReadClearsPages(kind)) {
        if (read.answered) {
            settings::ShowEarlyClockSettings(pages.basic, read.commandFrame);
        }
        return;
    }
    // The Basic page's show puts a text display mode it cannot show back into the frame.
    protocol::SettingsFrame frame = read.settingsFrame;
    settings::ShowClockSettings(pages.basic, frame, FamilyOfKind(kind));
    wifi::ShowWifiPage(pages.wifi, frame);
    if (!read.answered) {
        settings::ClearDisplayDurations(pages.basic);
    }
}

}  // namespace tavlo::workflow
