#pragma once

#include "Creation/DiskutilViewModel.h"

#include <QElapsedTimer>
#include <functional>
#include <vector>

namespace testsupport {

// Records every report of a creation job, in order (`listen` to a job before starting it).
struct JobRecorder
{
    std::vector<double> progress;
    std::vector<qint64> progressTimes;   // ms since the recorder was made
    std::vector<DiskutilResult> results; // everything but drive lists
    std::vector<DiskModelPtr> lastList;
    std::vector<DiskutilState> states;
    // Called after a state is recorded.
    std::function<void(DiskutilViewModel &, DiskutilState)> onState;
    QElapsedTimer clock;
    bool withProgress = true;

    explicit JobRecorder(bool withProgress = true) : withProgress(withProgress) { clock.start(); }
    void listen(DiskutilViewModel &job)
    {
        if (withProgress)
            QObject::connect(&job, &DiskutilViewModel::diskutilViewModelProgress, &job, [this](double value) {
                progress.push_back(value);
                progressTimes.push_back(clock.elapsed());
            });
        QObject::connect(&job, &DiskutilViewModel::diskutilViewModelCompletion, &job,
                         [this](const DiskutilResult &result) {
                             if (result.kind == DiskutilResult::Kind::Drives)
                                 lastList = result.drives;
                             else
                                 results.push_back(result);
                         });
        QObject::connect(&job, &DiskutilViewModel::diskutilViewModelState, &job,
                         [this, &job](DiskutilState state) {
                             states.push_back(state);
                             if (onState)
                                 onState(job, state);
                         });
    }
    JobRecorder(const JobRecorder &) = delete;
    JobRecorder &operator=(const JobRecorder &) = delete;

    // Yes and no reports so far.
    int finalResults() const
    {
        int n = 0;
        for (const DiskutilResult &result : results)
            n += result.kind == DiskutilResult::Kind::Yes || result.kind == DiskutilResult::Kind::No;
        return n;
    }
    bool lastIs(DiskutilResult::Kind kind) const { return !results.empty() && results.back().kind == kind; }
};

} // namespace testsupport
