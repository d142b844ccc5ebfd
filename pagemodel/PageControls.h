// What the controls of a page hold, without any widget: a text (edit box or shown value), a
// button (radio button or check box) and a drop-down list over fixed items. Page models are
// made of these; the Qt pages copy them to and from their widgets, and a front end without
// widgets drives them the way an operator drives the page.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tavlo::pagemodel {

// What the operator can type into a text control.
enum class TextKind : std::uint8_t {
    kShown,    // a value the page shows; the operator cannot type into it
    kText,     // any text of at most maxBytes bytes in code page 936, without NUL (a clock's
               // fixed-width text ends at its first NUL)
    kDigits,   // the digits 0 to 9 only, at most maxBytes of them
    kAddress,  // an IPv4 address control: four numbers 0 to 255 (no leading zeros), or blank
};

// An edit box or a value beside a caption. Texts are UTF-8; the clocks get them in code page
// 936. An address control's text is its dotted form, or empty while it is blank.
struct TextControl {
    std::string text;
    bool enabled = true;
    TextKind kind = TextKind::kShown;
    std::size_t maxBytes = 0;  // kText and kDigits: the edit limit

    // True when the operator could leave exactly this text in the control by typing: within
    // its limit, every character available in code page 936 and none NUL, digits only for
    // kDigits, four dotted numbers 0 to 255 without leading zeros (or nothing) for kAddress. Never
    // for a shown value.
    bool accepts(std::string_view utf8) const;

    friend bool operator==(const TextControl&, const TextControl&) = default;
};

// A radio button or a check box.
struct ButtonControl {
    bool checked = false;
    bool enabled = true;
    friend bool operator==(const ButtonControl&, const ButtonControl&) = default;
};

// A drop-down list over fixed items. A list is either without selection or has one item
// selected; an editable list also has the text of its edit field, which is the selected item's
// text, or what was typed when it matches no item.
class ListControl {
  public:
    explicit ListControl(std::span<const std::string_view> items, bool editable = false)
        : items_(items), editable_(editable) {}

    std::span<const std::string_view> items() const { return items_; }
    bool editable() const { return editable_; }
    std::optional<std::size_t> selection() const { return selection_; }
    // The selected item's text; for an editable list its edit text; else empty.
    std::string text() const;

    // No selection; an editable list's edit text is emptied too.
    void clearSelection();
    // Selects the item at `index`; an index outside the list leaves no selection.
    bool selectIndex(std::optional<std::size_t> index);
    // The pages' selection by text: the first item that begins with `text`, ignoring case;
    // with no such item (or an empty text) the list is left with no selection.
    bool selectByPrefix(std::string_view text);
    // What an operator does when picking an item by its text: the item whose text is exactly
    // `text`; with none the list is left as it was and the result is false.
    bool selectExact(std::string_view text);
    // Typing into an editable list: the edit text becomes `text` and the item with exactly that
    // text, if any, is selected. False (and nothing changes) for a list that is not editable.
    bool setEditText(std::string_view text);

    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

    friend bool operator==(const ListControl& a, const ListControl& b);

  private:
    std::span<const std::string_view> items_;
    bool editable_ = false;
    std::optional<std::size_t> selection_;
    std::string editText_;
    bool enabled_ = true;
};

// The decimal number of the selected item ("0" to "59" and such); 0 without a selection or
// when the item is not a number.
int SelectedNumber(const ListControl& list);

// The selection's position, or -1 without one, as the pages' lists report it.
int SelectedPosition(const ListControl& list);

// Selection by text as the pages' lists do it: the first item that begins with `text`,
// ignoring ASCII case; nothing when no item does or when `text` is empty.
std::optional<std::size_t> FindItemByPrefix(std::span<const std::string_view> items,
                                            std::string_view text);

// "0" to "59": the items of every number list of the pages are a run of these.
inline constexpr std::array<std::string_view, 60> kNumberItems{
    "0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10", "11", "12", "13", "14",
    "15", "16", "17", "18", "19", "20", "21", "22", "23", "24", "25", "26", "27", "28", "29",
    "30", "31", "32", "33", "34", "35", "36", "37", "38", "39", "40", "41", "42", "43", "44",
    "45", "46", "47", "48", "49", "50", "51", "52", "53", "54", "55", "56", "57", "58", "59"};

// The items `first` to `last` of kNumberItems.
constexpr std::span<const std::string_view> NumberItems(std::size_t first, std::size_t last) {
    return std::span<const std::string_view>(kNumberItems).subspan(first, last - first + 1);
}

}  // namespace tavlo::pagemodel
