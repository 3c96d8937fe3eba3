#include "batch/RunState.h"

#include "conversion/FieldUtils.h"
#include "files/FileSystem.h"

#include <cerrno>

namespace tolvren {

RequestCheck ValidateRequest(const RunRequest& request) {
    if (request.sourceDir.empty()) {
        return {RequestError::NoSource};
    }
    if (request.targetDir.empty() && !request.checkOnly) {
        return {RequestError::NoTarget};
    }
    for (std::size_t i = 0; i < request.author.size(); ++i) {
        if (ControlCharacterAt(request.author, i) > 0) {
            return {RequestError::AuthorHasControl};
        }
    }
    if (!request.targetDir.empty()) {
        const PathStatus target = StatPath(request.targetDir);
        if (target.error == 0 && target.kind != PathKind::Folder) {
            return {RequestError::TargetNotAFolder};
        }
    }
    const PathStatus source = StatPath(request.sourceDir);
    if (source.kind == PathKind::Missing) {
        return {RequestError::SourceMissing, source.error};
    }
    if (source.error != 0) {
        return {RequestError::SourceUnreadable, source.error};
    }
    if (source.kind != PathKind::Folder && source.kind != PathKind::RegularFile) {
        return {RequestError::SourceNotAFileOrFolder};
    }
    if (const int error = CheckReadable(request.sourceDir, source.kind); error != 0) {
        return {RequestError::SourceUnreadable, error};
    }
    return {};
}

} // namespace tolvren
