// Everything the update worker reads from and shows on the System page. The page
// implements it for the window (handing each call to the user-interface thread); the
// command line and the tests have their own implementations. Every call is made from the
// worker's thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Network.h"

namespace tavlo::firmware {

inline constexpr const char* kUpdateResultTitle = "Update";

class UpdatePage {
  public:
    virtual ~UpdatePage() = default;

    // The address control, network byte order (0 when empty).
    virtual platform::Ipv4 TargetAddress() = 0;
    // The firmware file field.
    virtual std::string FirmwarePath() = 0;
    // The "MAC Address:" field.
    virtual std::string MacAddressText() = 0;
    // Writes the "MAC Address:" field and repaints the page.
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

    // Acknowledged bytes after each data block, for front ends that draw a progress bar.
    virtual void BlockProgress(std::uint32_t acknowledgedBytes, std::uint32_t fileLength) {
        static_cast<void>(acknowledgedBytes);
        static_cast<void>(fileLength);
    }
};

}  // namespace tavlo::firmware
