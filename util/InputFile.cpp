#include "util/InputFile.h"

TProblem InputFileProblem(TProblemKind kind, size_t maxBytes)
{
    switch (kind) {
    case TProblemKind::Missing: return {kind, "файл не найден"};
    case TProblemKind::NoPermission: return {kind, "нет прав на чтение файла"};
    case TProblemKind::NotRegular: return {kind, "это не обычный файл"};
    case TProblemKind::TooLarge: return {kind, "файл больше допустимого (" + std::to_string(maxBytes) + " байт)"};
    default: break;
    }
    return {kind, "файл не читается"};
}
