#pragma once

#include "Creation/MacOSModel.h"
#include "Service/BaseRequest.h"

#include <vector>

// The catalog of installer images: POST /api/installation-image-list with the common parameters and
// platform=0. The answer's entries are read into records on the agent's processing queue, so that measuring
// thousands of descriptions never holds up the window.
class InstallationImageListApi : public BaseRequest
{
public:
    // Texts are shown up to this many characters; longer ones end in an ellipsis.
    static constexpr qsizetype DisplayTextLimit = 4000;

    QString requestUrl() const override;
    int64_t requestMethod() const override;
    std::optional<QVariant> requestArgument() override;
    void requestCompletePreprocessor() override;

    // The records of a successful answer, ready before the success block runs.
    const std::vector<MacOSModelPtr> &entries() const { return m_entries; }

    // One record per element of the answer's "data" that is a JSON object, in order (none when "data" is
    // missing or not a list). Shown texts are cut to DisplayTextLimit before they are measured.
    static std::vector<MacOSModelPtr> entriesFromAnswer(const std::optional<QVariant> &answer);
    // The text cut to DisplayTextLimit characters plus an ellipsis; shorter texts as they are.
    static QString displayText(const QString &text);

private:
    std::vector<MacOSModelPtr> m_entries;
};
