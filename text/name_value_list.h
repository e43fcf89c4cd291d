#pragma once

#include <string>
#include <string_view>

#include "text/wide_string_list.h"

// Ordered list of name/value pairs, as the document reader passes the attributes of a start tag.
// Pair i is (nameAt(i), valueAt(i)); both lists always hold the same number of entries.
class TdomNameValueList {
public:
    TdomNameValueList() = default;
    virtual ~TdomNameValueList() = default;

    virtual int pairCount() const { return names_.count(); }
    virtual int pairCapacity() const { return names_.capacity(); }
    // Raise EStringListError outside 0..pairCount()-1.
    virtual const std::u16string& nameAt(int index) const { return names_.stringAt(index); }
    virtual const std::u16string& valueAt(int index) const { return values_.stringAt(index); }
    virtual void setPairCapacity(int n);
    // Returns the index of the new pair.
    virtual int addPair(const std::u16string& name, const std::u16string& value);
    virtual void clearPairs();
    virtual void deletePair(int index);
    virtual void swapPairs(int i, int j);
    // First pair whose name and value equal the arguments unit by unit, or -1.
    virtual int indexOfPair(std::u16string_view name, std::u16string_view value) const;
    // First pair whose name equals the argument with ASCII case ignored, or -1.
    virtual int indexOfPairName(std::u16string_view name) const { return names_.indexOfString(name); }
    virtual void insertPair(int index, const std::u16string& name, const std::u16string& value);

private:
    TdomWideStringList names_;
    TdomWideStringList values_;
};
