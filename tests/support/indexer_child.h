#pragma once
// ombrelo-index run as a child process, as a user runs it, in a test's own
// folders (TMPDIR, HOME and the XDG folders below the test's folder).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <string>
#include <vector>

#include "support/test_videos.h"

namespace ombrelo::testing {

struct IndexerRun {
  int exitCode = -1;
  std::string out, err;
};

// Runs ombrelo-index with the arguments in `folder`, its address space
// limited to `addressSpace` bytes when that is not 0.
inline IndexerRun RunIndexer(const TempFolder& folder, const std::vector<std::string>& args,
                             rlim_t addressSpace = 0) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("OMBRELO_DATA", OMBRELO_SOURCE_DATA_DIR);
  env.insert("TMPDIR", QString::fromStdString(folder.Path()));
  env.insert("XDG_DATA_HOME", QString::fromStdString(folder / "userdata"));
  env.insert("XDG_CONFIG_HOME", QString::fromStdString(folder / "config"));
  env.insert("HOME", QString::fromStdString(folder / "home"));
  env.remove("OMBRELO_DEBUG");
  QProcess process;
  process.setProcessEnvironment(env);
  process.setWorkingDirectory(QString::fromStdString(folder.Path()));
  if (addressSpace != 0) {
    process.setChildProcessModifier([addressSpace] {
      const rlimit limit{addressSpace, addressSpace};
      setrlimit(RLIMIT_AS, &limit);
    });
  }
  QStringList list;
  for (const std::string& arg : args) list << QString::fromStdString(arg);
  process.start(OMBRELO_INDEX_BINARY, list);
  IndexerRun run;
  if (!process.waitForFinished(120000)) {
    ADD_FAILURE() << "ombrelo-index did not finish";
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out = process.readAllStandardOutput().toStdString();
  run.err = process.readAllStandardError().toStdString();
  return run;
}

}  // namespace ombrelo::testing
