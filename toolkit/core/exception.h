// The toolkit's base exception and the general errors of its core classes.
#pragma once

#include <exception>
#include <string>

// Base of every error the toolkit and the libraries above it raise: a std::exception that carries
// the system's own message text. ClassName names the concrete class, as scripts and the user see it.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const noexcept { return FMessage; }
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    std::string FMessage;
};

// Declares an exception class that adds nothing to its base but its name.
#define VORLANTH_DECLARE_EXCEPTION(Name, Base)                                                               \
    class Name : public Base {                                                                               \
    public:                                                                                                  \
        using Base::Base;                                                                                    \
        const char* ClassName() const noexcept override { return #Name; }                                    \
    }

VORLANTH_DECLARE_EXCEPTION(EStreamError, Exception);
VORLANTH_DECLARE_EXCEPTION(EFOpenError, EStreamError);
VORLANTH_DECLARE_EXCEPTION(EFCreateError, EStreamError);
VORLANTH_DECLARE_EXCEPTION(EReadError, EStreamError);
VORLANTH_DECLARE_EXCEPTION(EWriteError, EStreamError);
VORLANTH_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
VORLANTH_DECLARE_EXCEPTION(EConvertError, Exception);

// The platform refused a bitmap, device context or palette; the text is fixed.
class EOutOfResources : public Exception {
public:
    static constexpr const char* Text = "Out of system resources";
    EOutOfResources() : Exception(Text) {}
    const char* ClassName() const noexcept override { return "EOutOfResources"; }
};
// The clipboard could not be opened; the text is fixed.
class EClipboardException : public Exception {
public:
    static constexpr const char* Text = "Cannot open clipboard";
    EClipboardException() : Exception(Text) {}
    const char* ClassName() const noexcept override { return "EClipboardException"; }
};
