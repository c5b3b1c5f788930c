#pragma once
// velk-boxsim as a child process of a test or a benchmark: started from the programs' folder,
// waited for until it serves, and always stopped with its owner.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace velk::boxsim {

class TBoxsimProcess {
public:
    TBoxsimProcess(const QString& binDir, const QStringList& args,
                   const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        process_.setProcessEnvironment(env);
        process_.start(binDir + QStringLiteral("/velk-boxsim"), args);
        started_ = process_.waitForStarted(10000) && process_.waitForReadyRead(10000) &&
                   process_.readAllStandardOutput().contains("serving");
    }
    ~TBoxsimProcess() {
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }
    TBoxsimProcess(const TBoxsimProcess&) = delete;
    TBoxsimProcess& operator=(const TBoxsimProcess&) = delete;

    bool Started() const { return started_; }

private:
    QProcess process_;
    bool started_ = false;
};

// Every quantity held at a fixed value: the same readings every time, and no vote ever needs
// a third read (the vacuum is 1E-5 mbar, the pump running, the valve closed).
inline QStringList HeldValueArguments() {
    QStringList args;
    for (const char* held :
         {"temp1=-180.5", "setpoint1=-180", "temp2=-191.2", "setpoint2=-190", "alarmlow=-198",
          "power=37", "vacuum=1e-5", "pump=0", "valve=1", "level=42.5"})
        args << QStringLiteral("--force") << QLatin1String(held);
    return args;
}

} // namespace velk::boxsim
