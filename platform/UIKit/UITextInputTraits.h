#pragma once

#include <string>

enum UITextAutocapitalizationType : long {
    UITextAutocapitalizationTypeNone,
    UITextAutocapitalizationTypeWords,
    UITextAutocapitalizationTypeSentences,
    UITextAutocapitalizationTypeAllCharacters,
};

enum UITextAutocorrectionType : long {
    UITextAutocorrectionTypeDefault,
    UITextAutocorrectionTypeNo,
    UITextAutocorrectionTypeYes,
};

enum UIKeyboardType : long {
    UIKeyboardTypeDefault,
    UIKeyboardTypeASCIICapable,
    UIKeyboardTypeNumbersAndPunctuation,
    UIKeyboardTypeURL,
    UIKeyboardTypeNumberPad,
    UIKeyboardTypePhonePad,
    UIKeyboardTypeEmailAddress,
    UIKeyboardTypeDecimalPad,
    UIKeyboardTypeWebSearch,
};

enum UIReturnKeyType : long {
    UIReturnKeyDefault,
    UIReturnKeyGo,
    UIReturnKeyGoogle,
    UIReturnKeyJoin,
    UIReturnKeyNext,
    UIReturnKeyRoute,
    UIReturnKeySearch,
    UIReturnKeySend,
    UIReturnKeyYahoo,
    UIReturnKeyDone,
    UIReturnKeyEmergencyCall,
};

// How the keyboard serves a text input. The on-screen keyboard the host
// plays (a virtual keyboard height above 0) capitalises typed letters as the
// capitalisation type asks, as the phone's keyboard does with its shift key;
// a hardware keyboard types what is pressed.
class UITextInputTraits {
  public:
    UITextAutocapitalizationType autocapitalizationType() const { return autocapitalization_; }
    void setAutocapitalizationType(UITextAutocapitalizationType type) {
        autocapitalization_ = type;
    }
    UITextAutocorrectionType autocorrectionType() const { return autocorrection_; }
    void setAutocorrectionType(UITextAutocorrectionType type) { autocorrection_ = type; }
    UIKeyboardType keyboardType() const { return keyboardType_; }
    void setKeyboardType(UIKeyboardType type) { keyboardType_ = type; }
    UIReturnKeyType returnKeyType() const { return returnKeyType_; }
    void setReturnKeyType(UIReturnKeyType type) { returnKeyType_ = type; }
    bool enablesReturnKeyAutomatically() const { return enablesReturnKeyAutomatically_; }
    void setEnablesReturnKeyAutomatically(bool flag) { enablesReturnKeyAutomatically_ = flag; }

    // Text as the on-screen keyboard would type it after `before` (the text
    // before the caret).
    std::string textAsTyped(const std::string& text, const std::string& before) const;

  protected:
    ~UITextInputTraits() = default;

  private:
    UITextAutocapitalizationType autocapitalization_ = UITextAutocapitalizationTypeSentences;
    UITextAutocorrectionType autocorrection_ = UITextAutocorrectionTypeDefault;
    UIKeyboardType keyboardType_ = UIKeyboardTypeDefault;
    UIReturnKeyType returnKeyType_ = UIReturnKeyDefault;
    bool enablesReturnKeyAutomatically_ = false;
};
