#include "app/batch_report.h"

#include <QStringList>

#include "widgets/localised_text.h"

namespace {

int32_t Heading(const BatchSummary& summary) {
  if (summary.cancelled) return kStringBatchCancelled;
  return summary.Complete() ? kStringBatchFinished : kStringBatchIncomplete;
}

}  // namespace

QString BatchReport(const BatchSummary& summary, const std::vector<BatchFailure>& failures) {
  QStringList lines{Localised(Heading(summary)), QString(),
                    Localised(kStringBatchDenoisedCount).arg(summary.denoised),
                    Localised(kStringBatchFailedCount).arg(summary.failed),
                    Localised(kStringBatchSkippedCount).arg(summary.skipped)};
  if (summary.tooSmall > 0) lines << Localised(kStringBatchTooSmallCount).arg(summary.tooSmall);
  if (summary.skippedFolders > 0) {
    lines << Localised(kStringBatchUnreadFolders).arg(summary.skippedFolders);
  }
  if (failures.empty()) return lines.join('\n');
  lines << QString() << Localised(kStringBatchFailures);
  for (std::size_t i = 0; i < failures.size() && i < kListedFailures; ++i) {
    lines << QStringLiteral("%1: %2").arg(QString::fromStdString(failures[i].path.string()),
                                          QString::fromStdString(failures[i].reason));
  }
  if (failures.size() > kListedFailures) {
    lines << Localised(kStringBatchMoreFailures).arg(failures.size() - kListedFailures);
  }
  return lines.join('\n');
}
