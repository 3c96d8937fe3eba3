#include "batch/RunState.h"

#include "conversion/FieldUtils.h"
#include "files/FileSystem.h"

#include <algorithm>
#include <cerrno>

namespace tolvren {

RequestFindings FindRequestPaths(const RunRequest& request) {
    RequestFindings found;
    found.source = MakeAbsolute(request.sourceDir);
    found.sourceStatus = StatPath(found.source, Access::Read);
    if (!request.targetDir.empty()) {
        found.target = MakeAbsolute(request.targetDir);
        found.targetStatus = StatPath(found.target);
    }
    return found;
}

RequestCheck ValidateRequest(RunRequest& request) {
    request.found.reset();
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
    if (const RequestError options = CheckDocumentOptions(request.format, request.document);
        options != RequestError::None) {
        return {options};
    }
    RequestFindings found = FindRequestPaths(request);
    if (const PathStatus& target = found.targetStatus;
        !found.target.empty() && target.error == 0 && target.kind != PathKind::Folder) {
        return {RequestError::TargetNotAFolder};
    }
    const PathStatus& source = found.sourceStatus;
    if (source.kind == PathKind::Missing) {
        return {RequestError::SourceMissing, source.error};
    }
    if (source.kind == PathKind::Other) {
        return source.error != 0 ? RequestCheck{RequestError::SourceUnreadable, source.error}
                                 : RequestCheck{RequestError::SourceNotAFileOrFolder};
    }
    if (source.error != 0) {
        return {RequestError::SourceUnreadable, source.error};
    }
    request.found = std::move(found);
    return {};
}

RequestError CheckDocumentOptions(OutputFormat format, const DocumentOptions& options) {
    const TimingOptions& timing = options.timing;
    if (timing.shift < -kMaxShift || timing.shift > kMaxShift) {
        return RequestError::ShiftOutOfRange;
    }
    if ((timing.shift != 0 || timing.applyOffset) && !TimesCanMove(format)) {
        return RequestError::TimesKept;
    }
    const LrcOptions& lrc = options.lrc;
    if (std::find(kLrcFractionDigits.begin(), kLrcFractionDigits.end(), lrc.fractionDigits) ==
        kLrcFractionDigits.end()) {
        return RequestError::LrcPrecision;
    }
    if (!HasLrcOptions(format) &&
        (lrc.style != LrcOptions{}.style || lrc.fractionDigits != LrcOptions{}.fractionDigits)) {
        return RequestError::LrcOptionsWithoutLrc;
    }
    return RequestError::None;
}

} // namespace tolvren
