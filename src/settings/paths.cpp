#include "settings/paths.h"

namespace vhb {

namespace {
size_t nameStart(std::string_view path, std::string_view separators) {
    const size_t sep = path.find_last_of(separators);
    return sep == std::string_view::npos ? 0 : sep + 1;
}
std::string_view withoutExtension(std::string_view name) {
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}
}  // namespace

std::string settingsPathFor(std::string_view exePath, std::string_view separators) {
    const size_t start = nameStart(exePath, separators);
    return std::string(exePath.substr(0, start)) +
           std::string(withoutExtension(exePath.substr(start))) + ".Ini";
}

std::string fileNamePart(std::string_view path, std::string_view separators) {
    return std::string(path.substr(nameStart(path, separators)));
}

std::string folderPart(std::string_view path, std::string_view separators) {
    return std::string(path.substr(0, nameStart(path, separators)));
}

std::string openDialogInstance(std::string_view chosenPath, std::string_view separators) {
    return std::string(withoutExtension(fileNamePart(chosenPath, separators))) + "#0";
}

}  // namespace vhb
