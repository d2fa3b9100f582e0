#include "toolkit/controls/reader.h"

#include <map>
#include <memory>

#include "toolkit/controls/extctrls.h"
#include "toolkit/controls/forms.h"
#include "toolkit/controls/stdctrls.h"

namespace {

std::unique_ptr<std::map<std::string, TControlClass>> Classes;

std::map<std::string, TControlClass>& ClassMap() {
    if (!Classes) Classes = std::make_unique<std::map<std::string, TControlClass>>();
    return *Classes;
}

const TControlClass ImageClass{"TImage", [] { return std::unique_ptr<TControl>(new TImage); }};
const TControlClass ButtonClass{"TButton", [] { return std::unique_ptr<TControl>(new TButton); }};

// Colour and character-set names a description may use instead of numbers.
struct TNamedValue {
    const char* Name;
    std::int32_t Value;
};
constexpr TNamedValue kColorNames[] = {
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clNone", clNone},
    {"clDefault", clDefault},
    {"clWindow", clWindow},
    {"clWindowText", clWindowText},
    {"clBtnFace", clBtnFace},
    {"clBtnText", clBtnText},
    {"clGrayText", clGrayText},
    {"clBtnShadow", static_cast<TColor>(0x80000010)},
    {"clBtnHighlight", static_cast<TColor>(0x80000014)},
    {"cl3DDkShadow", static_cast<TColor>(0x80000015)},
    {"cl3DLight", static_cast<TColor>(0x80000016)},
    {"clHighlight", static_cast<TColor>(0x8000000D)},
    {"clHighlightText", static_cast<TColor>(0x8000000E)},
};

constexpr TNamedValue kCharsetNames[] = {
    {"ANSI_CHARSET", 0},          {"DEFAULT_CHARSET", 1},      {"SYMBOL_CHARSET", 2},
    {"SHIFTJIS_CHARSET", 128},    {"HANGEUL_CHARSET", 129},    {"GB2312_CHARSET", 134},
    {"CHINESEBIG5_CHARSET", 136}, {"OEM_CHARSET", 255},        {"JOHAB_CHARSET", 130},
    {"HEBREW_CHARSET", 177},      {"ARABIC_CHARSET", 178},     {"GREEK_CHARSET", 161},
    {"TURKISH_CHARSET", 162},     {"VIETNAMESE_CHARSET", 163}, {"THAI_CHARSET", 222},
    {"EASTEUROPE_CHARSET", 238},  {"RUSSIAN_CHARSET", 204},    {"MAC_CHARSET", 77},
    {"BALTIC_CHARSET", 186},
};

} // namespace

void RegisterControlClass(const TControlClass& controlClass) {
    ClassMap()[controlClass.Name] = controlClass;
}

void UnregisterControlClass(const char* name) {
    if (Classes) Classes->erase(name);
}

const TControlClass* FindControlClass(const std::string& name) {
    if (!Classes) return nullptr;
    const auto it = Classes->find(name);
    return it == Classes->end() ? nullptr : &it->second;
}

void ControlsInitialization() {
    RegisterControlClass(ImageClass);
    RegisterControlClass(ButtonClass);
}

void ControlsFinalization() {
    Classes.reset();
}

void TReader::InvalidValue() const {
    throw EReadError("Error reading " + FPath + "." + FProperty + ": Invalid property value");
}

std::int32_t TReader::Integer(const TFormValue& value) const {
    if (value.Kind != TFormValueKind::Integer) InvalidValue();
    return value.Integer;
}

bool TReader::Boolean(const TFormValue& value) const {
    if (value.Kind != TFormValueKind::Boolean) InvalidValue();
    return value.Boolean;
}

const std::string& TReader::String(const TFormValue& value) const {
    if (value.Kind != TFormValueKind::String) InvalidValue();
    return value.Text;
}

const std::string& TReader::Ident(const TFormValue& value) const {
    if (value.Kind != TFormValueKind::Ident) InvalidValue();
    return value.Text;
}

const std::vector<std::string>& TReader::Set(const TFormValue& value) const {
    if (value.Kind != TFormValueKind::Set) InvalidValue();
    return value.Names;
}

const std::vector<std::uint8_t>& TReader::Binary(const TFormValue& value) const {
    if (value.Kind != TFormValueKind::Binary) InvalidValue();
    return value.Bytes;
}

TColor TReader::Color(const TFormValue& value) const {
    if (value.Kind == TFormValueKind::Integer) return value.Integer;
    const std::string& name = Ident(value);
    for (const auto& c : kColorNames)
        if (name == c.Name) return c.Value;
    InvalidValue();
}

int TReader::Charset(const TFormValue& value) const {
    if (value.Kind == TFormValueKind::Integer) {
        if (value.Integer < 0 || value.Integer > 255) InvalidValue();
        return value.Integer;
    }
    const std::string& name = Ident(value);
    for (const auto& c : kCharsetNames)
        if (name == c.Name) return c.Value;
    InvalidValue();
}

int TReader::Enum(const TFormValue& value, std::span<const char* const> names) const {
    const std::string& name = Ident(value);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (name == names[i]) return static_cast<int>(i);
    InvalidValue();
}

TNotifyEvent TReader::Method(const TFormValue& value) const {
    const std::string& name = Ident(value);
    TNotifyEvent handler = FRoot.FindMethod(name);
    if (!handler)
        throw EReadError("Error reading " + FPath + "." + FProperty + ": Handler " + name + " not found");
    return handler;
}

void TReader::ApplyProperties(TControl& control, const TFormObject& object) {
    for (const auto& property : object.Properties) {
        FProperty = property.Name;
        if (!control.ReadProperty(property.Name, property.Value, *this))
            throw EReadError("Error reading " + FPath + "." + property.Name + ": Property " + property.Name +
                             " does not exist");
    }
    FProperty.clear();
}

void TReader::ReadRoot(std::span<const std::uint8_t> description) {
    const TFormObject root = ReadFormData(description);
    if (root.ClassName != FRoot.ClassName())
        throw EReadError("Window description of class " + root.ClassName + " does not fit a " +
                         FRoot.ClassName());
    FRoot.SetName(root.Name);
    FPath = root.Name;
    ApplyProperties(FRoot, root);
    for (const auto& child : root.Children) {
        FPath = root.Name + "." + child.Name;
        const TControlClass* cls = FindControlClass(child.ClassName);
        if (cls == nullptr) throw EReadError("Class " + child.ClassName + " not found");
        if (!child.Children.empty())
            throw EReadError("Error reading " + FPath + ": a " + child.ClassName + " cannot hold controls");
        if (child.Name.empty() || FRoot.FindControl(child.Name) != nullptr)
            throw EReadError("A control named '" + child.Name + "' already exists or the name is empty");
        std::unique_ptr<TControl> control = cls->Create();
        TControl* c = control.get();
        c->SetName(child.Name);
        FRoot.AddControl(std::move(control));
        ApplyProperties(*c, child);
        c->Loaded();
        FRoot.BindControl(child.Name, c);
    }
    FPath = root.Name;
    FRoot.Loaded();
}
