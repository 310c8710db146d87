// RareText: a text field that is empty nearly always (kept for the save file's record), held as
// one pointer while empty and as its own string once set. It reads as a const std::string (and
// a string_view), so code that only reads, assigns or clears the field does not see the
// difference.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace dov {

class RareText {
  public:
    RareText() = default;
    RareText(const RareText& other)
        : p_(other.p_ ? std::make_unique<std::string>(*other.p_) : nullptr) {}
    RareText(RareText&&) noexcept = default;
    RareText& operator=(const RareText& other) {
        if (this != &other) *this = other.str();
        return *this;
    }
    RareText& operator=(RareText&&) noexcept = default;
    RareText& operator=(const std::string& s) {
        if (s.empty()) {
            p_.reset();
        } else if (p_) {
            *p_ = s;
        } else {
            p_ = std::make_unique<std::string>(s);
        }
        return *this;
    }
    RareText& operator=(std::string&& s) {
        if (s.empty()) {
            p_.reset();
        } else if (p_) {
            *p_ = std::move(s);
        } else {
            p_ = std::make_unique<std::string>(std::move(s));
        }
        return *this;
    }

    const std::string& str() const { return p_ ? *p_ : Empty(); }
    operator const std::string&() const { return str(); }
    operator std::string_view() const { return str(); }
    bool empty() const { return !p_; }
    std::size_t size() const { return str().size(); }
    const char* c_str() const { return str().c_str(); }
    void clear() noexcept { p_.reset(); }

    friend bool operator==(const RareText& a, const RareText& b) { return a.str() == b.str(); }
    friend bool operator==(const RareText& a, std::string_view b) {
        return std::string_view(a.str()) == b;
    }

  private:
    static const std::string& Empty() {
        static const std::string empty;
        return empty;
    }
    std::unique_ptr<std::string> p_;  // never an empty string
};

}  // namespace dov
