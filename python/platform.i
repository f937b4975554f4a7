// Rows of the host platform: Pyth2Platform and CPyth2Win. Every row calls the
// operation virtually, so a CPyth2Win answers through Pyth2Platform_ rows too.
// GetACmd, the priority calls and GetIEHistory release the interpreter lock
// themselves, around their waits, system calls and reads only.

%{
#include "platform/host/CPyth2Win.h"
#include "platform/host/Pyth2Platform.h"
#include "python/VisitList.h"
%}

%ovix_enum(Pyth2PlatformThreadPriority)

// Rows that both classes have and that build Python objects.
%define %ovix_memory_usage_row
    %extend {
        // (usage now, peak usage) in bytes.
        PyObject *GetMemoryUsage() {
            const auto [now, peak] = $self->GetMemoryUsage();
            PyObject* usage = Py_BuildValue("kk", now, peak);
            if (!usage)
                throw ovix::py::PythonError();
            return usage;
        }
    }
%enddef
%define %ovix_app_data_dir_row
    %extend {
        PyObject *GetAppDataDir() {
            return ovix::py::newText($self->GetAppDataDir());
        }
    }
%enddef

class Pyth2Platform {
public:
    Pyth2Platform();
    virtual ~Pyth2Platform();
    virtual unsigned int GetParentThreadId();
    virtual int SendStatusMsg(int status);
    virtual int SendThreadMsg(unsigned long tid);
    virtual int SendSelfQuitMsg();
    virtual unsigned int GetACmd();
    virtual int GetLastInputTime();
    virtual int GetPowerStatus();
    %extend {
        // No host layer keeps named memory figures: always None.
        PyObject *GetMemStats() {
            Py_RETURN_NONE;
        }
    }
    %ovix_memory_usage_row
    virtual unsigned int GetCurThreadId();
    virtual int GetCurThreadPriority();
    virtual int SetCurThreadPriority(Pyth2PlatformThreadPriority priority);
    %ovix_app_data_dir_row
    virtual void ThreadThrottleRegister(unsigned long tid);
    virtual void ThreadThrottleDeregister(unsigned long tid);
    void ThreadThrottleCpuPerc(int percentage);
    virtual void ThreadThrottleStart();
    virtual void ThreadThrottleStop();
    %extend {
        PyObject *GetVersionStr() {
            return ovix::py::newText($self->GetVersionStr());
        }
    }
};

class CPyth2Win : public Pyth2Platform {
public:
    CPyth2Win();
    virtual ~CPyth2Win();
    virtual unsigned int GetParentThreadId();
    virtual int SendStatusMsg(int status);
    virtual int SendThreadMsg(unsigned long tid);
    virtual int SendSelfQuitMsg();
    virtual unsigned int GetACmd();
    virtual int GetLastInputTime();
    virtual int GetPowerStatus();
    %ovix_memory_usage_row
    virtual unsigned int GetCurThreadId();
    virtual int GetCurThreadPriority();
    virtual int SetCurThreadPriority(Pyth2PlatformThreadPriority priority);
    %ovix_app_data_dir_row
    virtual void ThreadThrottleRegister(unsigned long tid);
    virtual void ThreadThrottleDeregister(unsigned long tid);
    virtual void ThreadThrottleStart();
    virtual void ThreadThrottleStop();
    %extend {
        // [(url, seconds since 1970, 1)], built a slice at a time as the
        // databases are read (python/VisitList.h).
        PyObject *GetIEHistory() {
            ovix::py::VisitList visits;
            $self->GetIEHistory(visits);
            return visits.release();
        }
    }
};
