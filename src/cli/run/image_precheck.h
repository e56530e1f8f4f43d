#pragma once

#include <optional>
#include <string>

#include "programming/image_check.h"

namespace korvel {

// What the check found wrong with an image, and where: "Ошибка формата файла (record 7, byte
// offset 4130)".
std::string checkFailureLine(const ImageCheck& check);

// Opens the image at `path` and reads it whole as a run would; nothing when it cannot be opened.
std::optional<ImageCheck> checkImageFile(const std::string& path, bool viaBoot);

}  // namespace korvel
