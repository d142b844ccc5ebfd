// Everything the update worker shows on the System page: its lines, its boxes and the break
// question. The page implements it for the window (QueuedUpdateReporter hands each call to
// the user-interface thread); the command line and the tests have their own
// implementations. Every call is made from the worker's thread.
#pragma once

#include <cstdint>
#include <string>

namespace tavlo::firmware {

inline constexpr const char* kUpdateResultTitle = "Update";

// "Block# %d , Size#%d bytes ( %.2f %% )" after a full block.
std::string FormatProgressLine(int block, int bytes, double percent);
// "Block# %d , Size#%d bytes ( %d %% )" when the transfer is complete.
std::string FormatFinalProgressLine(int block, int bytes, int percent);
// "Total Update: %d".
std::string FormatCounterLine(int updateCounter);

class UpdateReporter {
  public:
    virtual ~UpdateReporter() = default;

    // Writes the "MAC Address:" field (the neighbour table's answer for an empty field) and
    // repaints the page.
    virtual void SetMacAddressText(const std::string& text) = 0;

    virtual void SetProgressLine(const std::string& text) = 0;
    virtual void SetCounterLine(const std::string& text) = 0;

    // An ordinary message box with an OK button; returns when it is closed.
    virtual void ShowMessage(const std::string& text) = 0;
    // A message box titled kUpdateResultTitle, no owner window, one OK button; returns when
    // it is closed (by the operator or by the update monitor's close-box timer).
    virtual void ShowUpdateResult(const std::string& text) = 0;
    // A message box with the buttons Yes and No; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;

    virtual void FocusAddressControl() = 0;
    virtual void FocusMacAddressField() = 0;

    // The progress line after each full block the clock acknowledged: `block` blocks,
    // `bytes` bytes, `percent` of a file of `fileLength` bytes. By default the line is
    // written at once; a page that draws less often than blocks arrive may keep the numbers
    // and format them (FormatProgressLine) when it draws.
    virtual void SetBlockProgress(int block, int bytes, double percent, std::uint32_t fileLength) {
        static_cast<void>(fileLength);
        SetProgressLine(FormatProgressLine(block, bytes, percent));
    }
};

}  // namespace tavlo::firmware
