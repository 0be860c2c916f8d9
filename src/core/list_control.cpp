#include "core/list_control.h"

#include "base/text.h"

namespace kv58 {

void ListControl::clear() {
    items_.clear();
    selected_ = -1;
}

int ListControl::add(std::string text, int value) {
    items_.push_back({std::move(text), value});
    return count() - 1;
}

std::string ListControl::selectedText() const {
    return hasSelection() ? items_[static_cast<size_t>(selected_)].text : std::string();
}

int ListControl::selectedValue() const {
    return hasSelection() ? items_[static_cast<size_t>(selected_)].value : 0;
}

int ListControl::setSelected(int index) {
    selected_ = (index >= 0 && index < count()) ? index : -1;
    return selected_;
}

int ListControl::selectString(int startAfter, const std::string& text) {
    if (text.empty() || items_.empty())
        return -1;
    const int n = count();
    const int first = (startAfter < 0 || startAfter >= n) ? 0 : startAfter + 1;
    for (int k = 0; k < n; ++k) {
        const int i = (first + k) % n;
        if (startsWithIgnoreCase(items_[static_cast<size_t>(i)].text, text)) {
            selected_ = i;
            return i;
        }
    }
    return -1;
}

int ListControl::findValue(int value) const {
    for (int i = 0; i < count(); ++i) {
        if (items_[static_cast<size_t>(i)].value == value)
            return i;
    }
    return -1;
}

int ListControl::selectValue(int value) {
    const int i = findValue(value);
    if (i >= 0)
        selected_ = i;
    return i;
}

}  // namespace kv58
