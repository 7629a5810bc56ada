// Abstract base of the objects that stand for one item on disk (a file or a directory).
#pragma once

#include <string>

#include "FileName.h"

class CDiskItem {
public:
    virtual ~CDiskItem() = default;
    // Parses the text with the platform's path syntax and passes the result to SetPath(CFileName).
    virtual bool SetPath(const std::string& text) = 0;
    virtual bool SetPath(const CFileName& path) = 0;
    virtual bool IsFile() const = 0;
    virtual CFileName GetPath() const = 0;
    virtual bool Delete() = 0;
    virtual bool Exists() const = 0;
    virtual bool Create() = 0;
};
