#include "util/InputFile.h"

std::string FileProblemText(TFileProblem problem, size_t maxBytes)
{
    switch (problem) {
    case TFileProblem::None: return {};
    case TFileProblem::Missing: return "файл не найден";
    case TFileProblem::NoPermission: return "нет прав на чтение файла";
    case TFileProblem::NotRegular: return "это не обычный файл";
    case TFileProblem::TooLarge: return "файл больше допустимого (" + std::to_string(maxBytes) + " байт)";
    case TFileProblem::Unreadable: break;
    }
    return "файл не читается";
}
