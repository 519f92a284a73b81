#pragma once

#include <concepts>
#include <memory>
#include <typeinfo>

// A value of any type kept under an attribute name of an attributed string
// (a link URL, a spell-checking result, a caller's own object). Copies share
// the value. Two values are equal when they hold the same type and that
// type's == says so; types without == are equal only to copies of the same
// value.
class NSAttributeValue {
  public:
    template <class T>
    NSAttributeValue(T value) : holder_(std::make_shared<Holder<T>>(std::move(value))) {}

    // The value when it has type T, else nullptr.
    template <class T>
    const T* get() const {
        auto* holder = dynamic_cast<const Holder<T>*>(holder_.get());
        return holder ? &holder->value : nullptr;
    }

    bool operator==(const NSAttributeValue& other) const {
        return holder_ == other.holder_ || holder_->equals(*other.holder_);
    }

  private:
    struct Base {
        virtual ~Base() = default;
        virtual bool equals(const Base& other) const = 0;
    };
    template <class T>
    struct Holder : Base {
        explicit Holder(T v) : value(std::move(v)) {}
        bool equals(const Base& other) const override {
            if constexpr (std::equality_comparable<T>) {
                auto* same = dynamic_cast<const Holder<T>*>(&other);
                return same && same->value == value;
            } else {
                return this == &other;
            }
        }
        T value;
    };

    std::shared_ptr<const Base> holder_;
};
