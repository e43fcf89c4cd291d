#include "text/name_value_list.h"

void TdomNameValueList::setPairCapacity(int n) {
    names_.setCapacity(n);
    values_.setCapacity(n);
}

int TdomNameValueList::addPair(const std::u16string& name, const std::u16string& value) {
    values_.addString(value);
    return names_.addString(name);
}

void TdomNameValueList::clearPairs() {
    // Most start tags have no attributes: an empty list is left alone without a call per list.
    if (names_.count() == 0 && values_.count() == 0) return;
    names_.clearAll();
    values_.clearAll();
}

void TdomNameValueList::deletePair(int index) {
    names_.deleteAt(index);
    values_.deleteAt(index);
}

void TdomNameValueList::swapPairs(int i, int j) {
    names_.swap(i, j);
    values_.swap(i, j);
}

int TdomNameValueList::indexOfPair(std::u16string_view name, std::u16string_view value) const {
    for (int k = 0; k < names_.count(); ++k)
        if (names_.stringAt(k) == name && values_.stringAt(k) == value) return k;
    return -1;
}

void TdomNameValueList::insertPair(int index, const std::u16string& name, const std::u16string& value) {
    names_.insertAt(index, name);
    values_.insertAt(index, value);
}
