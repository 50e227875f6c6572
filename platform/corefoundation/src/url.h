// File URL objects, shared with the bundle code.
#pragma once

#include "object.h"

struct FxCFURL final : FxCFObject
{
    FxCFURL(std::string normalisedPath, bool isDirectory, std::string baseDirectory)
        : FxCFObject(kFxTypeURL), path(std::move(normalisedPath)), directory(isDirectory),
          base(std::move(baseDirectory))
    {
    }
    bool equals(const FxCFObject& other) const override;
    CFHashCode hash() const override { return fxHashBytes(path.data(), path.size()); }
    // The absolute path, without a trailing slash unless it is "/".
    std::string absolutePath() const;

    // Without a trailing slash unless it is "/"; relative paths never start
    // with "/" and are taken relative to base.
    const std::string path;
    const bool directory;
    const std::string base; // the working directory when path is relative, else empty
};

// A URL for a file-system path; relative paths resolve against the working
// directory. Null for an empty path.
FxCFURL* fxURLCreate(const std::string& path, bool isDirectory);
