#include "settings/PageControls.h"

#include <algorithm>
#include <charconv>

#include "platform/TextCodec.h"
#include "settings/TimeZone.h"

namespace tavlo::settings {

namespace {

constexpr int kNoPosition = -1;
constexpr std::size_t kAddressParts = 4;
constexpr std::size_t kMaxOctetDigits = 3;
constexpr unsigned kMaxOctet = 255;

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Four numbers 0 to 255 separated by dots, each of one to three digits.
bool IsDottedAddress(std::string_view text) {
    for (std::size_t part = 0; part < kAddressParts; ++part) {
        const std::size_t dot = text.find('.');
        const bool last = part + 1 == kAddressParts;
        if ((dot == std::string_view::npos) != last) {
            return false;
        }
        const std::string_view number = text.substr(0, dot);
        unsigned value = 0;
        if (number.empty() || number.size() > kMaxOctetDigits || !AllDigits(number) ||
            std::from_chars(number.data(), number.data() + number.size(), value).ec !=
                std::errc{} ||
            value > kMaxOctet) {
            return false;
        }
        if (!last) {
            text.remove_prefix(dot + 1);
        }
    }
    return true;
}

}  // namespace

bool TextControl::accepts(std::string_view utf8) const {
    switch (kind) {
        case TextKind::kShown:
            return false;
        case TextKind::kText:
            return platform::IsCp936Representable(utf8) &&
                   platform::Cp936ByteCount(utf8) <= maxBytes;
        case TextKind::kDigits:
            return utf8.size() <= maxBytes && AllDigits(utf8);
        case TextKind::kAddress:
            return utf8.empty() || IsDottedAddress(utf8);
    }
    return false;
}

std::string ListControl::text() const {
    if (editable_) {
        return editText_;
    }
    if (selection_) {
        return std::string(items_[*selection_]);
    }
    return {};
}

void ListControl::clearSelection() {
    selection_.reset();
    editText_.clear();
}

bool ListControl::selectIndex(std::optional<std::size_t> index) {
    if (!index || *index >= items_.size()) {
        clearSelection();
        return false;
    }
    selection_ = index;
    editText_ = std::string(items_[*index]);
    return true;
}

bool ListControl::selectByPrefix(std::string_view text) {
    return selectIndex(FindItemByPrefix(items_, text));
}

bool ListControl::selectExact(std::string_view text) {
    const auto found = std::find(items_.begin(), items_.end(), text);
    if (found == items_.end()) {
        return false;
    }
    return selectIndex(static_cast<std::size_t>(found - items_.begin()));
}

bool ListControl::setEditText(std::string_view text) {
    if (!editable_) {
        return false;
    }
    const auto found = std::find(items_.begin(), items_.end(), text);
    if (found == items_.end()) {
        selection_.reset();
    } else {
        selection_ = static_cast<std::size_t>(found - items_.begin());
    }
    editText_ = std::string(text);
    return true;
}

bool operator==(const ListControl& a, const ListControl& b) {
    return a.items_.data() == b.items_.data() && a.items_.size() == b.items_.size() &&
           a.editable_ == b.editable_ && a.selection_ == b.selection_ &&
           a.editText_ == b.editText_ && a.enabled_ == b.enabled_;
}

int SelectedNumber(const ListControl& list) {
    const auto selection = list.selection();
    if (!selection) {
        return 0;
    }
    const std::string_view item = list.items()[*selection];
    int value = 0;
    std::from_chars(item.data(), item.data() + item.size(), value);
    return value;
}

int SelectedPosition(const ListControl& list) {
    const auto selection = list.selection();
    return selection ? static_cast<int>(*selection) : kNoPosition;
}

std::string FieldBytes(std::string_view utf8, std::size_t width) {
    return std::string(platform::TruncateCp936(platform::Utf8ToCp936(utf8), width));
}

}  // namespace tavlo::settings
