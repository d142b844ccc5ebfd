#include "pagemodel/PageControls.h"

#include <algorithm>
#include <charconv>

#include "platform/Ipv4.h"
#include "platform/TextCodec.h"

namespace tavlo::pagemodel {

namespace {

constexpr int kNoPosition = -1;

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithIgnoringCase(std::string_view item, std::string_view prefix) {
    if (prefix.size() > item.size()) {
        return false;
    }
    return std::equal(prefix.begin(), prefix.end(), item.begin(),
                      [](char a, char b) { return LowerAscii(a) == LowerAscii(b); });
}

}  // namespace

bool TextControl::accepts(std::string_view utf8) const {
    switch (kind) {
        case TextKind::kShown:
            return false;
        case TextKind::kText:
            return utf8.find('\0') == std::string_view::npos &&
                   platform::IsCp936Representable(utf8) &&
                   platform::Cp936ByteCount(utf8) <= maxBytes;
        case TextKind::kDigits:
            return utf8.size() <= maxBytes && AllDigits(utf8);
        case TextKind::kAddress:
            return utf8.empty() || platform::ParseDottedAddress(utf8).has_value();
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

std::optional<std::size_t> FindItemByPrefix(std::span<const std::string_view> items,
                                            std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (StartsWithIgnoringCase(items[i], text)) {
            return i;
        }
    }
    return std::nullopt;
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

}  // namespace tavlo::pagemodel
