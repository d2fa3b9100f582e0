#include "toolkit/core/persistent.h"

#include <string>

#include "toolkit/core/exception.h"

void TPersistent::AssignFrom(const TPersistent* source) {
    if (source == nullptr) AssignError(nullptr);
    source->CopyInto(this);
}

void TPersistent::CopyInto(TPersistent* destination) const {
    destination->AssignError(this);
}

void TPersistent::AssignError(const TPersistent* source) const {
    const std::string sourceName = source != nullptr ? source->ClassName() : "nil";
    throw EConvertError("Cannot assign a " + sourceName + " to a " + ClassName());
}
