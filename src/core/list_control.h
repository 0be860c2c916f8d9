// A drop-down list as the dialog uses it: items with a text and an item value, one selection.
//
// The search rules are those of the classic Windows combo box, which the dialog's behaviour
// depends on: selecting by text starts after a given item, wraps around, ignores letter case,
// matches the first item whose text begins with the search text, and an empty text finds
// nothing; selecting an index outside the list leaves it without a selection.
#pragma once

#include <string>
#include <vector>

namespace kv58 {

struct ListItem {
    std::string text;
    int value = 0;
};

class ListControl {
public:
    void clear();
    // Appends an item; returns its index.
    int add(std::string text, int value);

    int count() const { return static_cast<int>(items_.size()); }
    const std::vector<ListItem>& items() const { return items_; }

    int selected() const { return selected_; }
    bool hasSelection() const { return selected_ >= 0; }
    // Text and item value of the selection; "" and 0 without one.
    std::string selectedText() const;
    int selectedValue() const;

    // Selects the index, or nothing when it is outside the list. Returns the new selection.
    int setSelected(int index);
    // Select-by-prefix from the item after `startAfter`, wrapping around; on no match the
    // selection stays. Returns the index found or -1.
    int selectString(int startAfter, const std::string& text);
    // The first item whose value equals `value`, or -1.
    int findValue(int value) const;
    // Selects the first item with this value; the selection stays when there is none.
    int selectValue(int value);

    bool enabled = true;
    bool visible = true;

private:
    std::vector<ListItem> items_;
    int selected_ = -1;
};

}  // namespace kv58
