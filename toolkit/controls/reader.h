// Builds a form from a binary window description: the class registry through which each control
// is created, and the reader that applies stored properties by name, in stored order.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "toolkit/controls/controls.h"
#include "toolkit/core/exception.h"
#include "toolkit/core/formdata.h"

class TForm;

// A control class as the reader knows it: its name and how to make one.
struct TControlClass {
    const char* Name;
    std::unique_ptr<TControl> (*Create)();
};

void RegisterControlClass(const TControlClass& controlClass);
void UnregisterControlClass(const char* name);
const TControlClass* FindControlClass(const std::string& name);
// The toolkit's own classes (TImage, TButton); part of the controls' unit start-up.
void ControlsInitialization();
void ControlsFinalization();

// Turns stored values into property values, naming the property in its errors.
class TReader {
public:
    TReader(TForm& root) : FRoot(root) {}

    TForm& Root() const { return FRoot; }
    // Where the reader is, for messages: "Form4.Image2".
    const std::string& Path() const { return FPath; }

    std::int32_t Integer(const TFormValue& value) const;
    bool Boolean(const TFormValue& value) const;
    const std::string& String(const TFormValue& value) const;
    const std::string& Ident(const TFormValue& value) const;
    const std::vector<std::string>& Set(const TFormValue& value) const;
    const std::vector<std::uint8_t>& Binary(const TFormValue& value) const;
    TColor Color(const TFormValue& value) const;
    // A character set by name (DEFAULT_CHARSET...) or number.
    int Charset(const TFormValue& value) const;
    // A handler name bound to the root form's handler of that name.
    TNotifyEvent Method(const TFormValue& value) const;
    // An enumeration value by name, from a table of names in value order.
    int Enum(const TFormValue& value, std::span<const char* const> names) const;
    [[noreturn]] void InvalidValue() const;

    // Reads the whole description into the root form.
    void ReadRoot(std::span<const std::uint8_t> description);

private:
    void ApplyProperties(TControl& control, const TFormObject& object);

    TForm& FRoot;
    std::string FPath;
    std::string FProperty;
};
