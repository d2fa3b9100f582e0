// The root of objects that can be copied into one another by class (images, bitmaps, pictures).
#pragma once

class TPersistent {
public:
    TPersistent() = default;
    TPersistent(const TPersistent&) = delete;
    TPersistent& operator=(const TPersistent&) = delete;
    virtual ~TPersistent() = default;

    virtual const char* ClassName() const noexcept { return "TPersistent"; }

    // Makes this object a copy of source. The base asks source to copy itself into this object;
    // a null source, or a pair of classes that cannot be copied, raises EConvertError
    // "Cannot assign a SOURCE to a TARGET".
    virtual void AssignFrom(const TPersistent* source);
    // Copies this object into destination; the base refuses with the error above.
    virtual void CopyInto(TPersistent* destination) const;

protected:
    [[noreturn]] void AssignError(const TPersistent* source) const;
};
