#pragma once

#include <string>

// The message of the exception of type E that f raises, or "(nothing raised)".
template <class E, class F> std::string raisedMessage(F f) {
    try {
        f();
    } catch (const E& e) {
        return e.message();
    }
    return "(nothing raised)";
}
