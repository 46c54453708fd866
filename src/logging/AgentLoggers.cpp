#include "AgentLoggers.h"

#include <memory>

#include "BRSFileLogger.h"
#include "BRSLog.h"
#include "BRSTTYLogger.h"

void AgentLoggers::attach() {
    BRSLog& log = BRSLog::sharedInstance();
    log.addLogger(BRSTTYLogger::sharedInstance(), BRSLogLevel::All);
    auto fileLogger = std::make_shared<BRSFileLogger>();
    fileLogger->setRollingFrequency(60 * 60 * 24);
    fileLogger->logFileManager()->setMaximumNumberOfLogFiles(7);
    log.addLogger(std::move(fileLogger), BRSLogLevel::All);
}
