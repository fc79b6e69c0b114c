#include "tuner/DvbDevice.h"

#include <fcntl.h>
#include <linux/dvb/dmx.h>
#include <linux/dvb/frontend.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace veltra {
namespace {

class LinuxDvbDevice : public DvbDevice {
public:
    explicit LinuxDvbDevice(int adapter)
        : dir_("/dev/dvb/adapter" + std::to_string(adapter) + "/") {}
    ~LinuxDvbDevice() override { closeAll(); }

    bool present() override { return access((dir_ + "frontend0").c_str(), F_OK) == 0; }

    bool openFrontend() override {
        if (frontend_ < 0) frontend_ = ::open((dir_ + "frontend0").c_str(), O_RDWR | O_NONBLOCK);
        return frontend_ >= 0;
    }

    void closeAll() override {
        stopFilter();
        if (frontend_ >= 0) ::close(frontend_);
        frontend_ = -1;
    }

    bool setProperties(const std::vector<DvbProperty>& list) override {
        if (frontend_ < 0 || list.empty() || list.size() > DTV_IOCTL_MAX_MSGS) return false;
        std::vector<dtv_property> props(list.size());
        for (size_t i = 0; i < list.size(); ++i) {
            props[i] = dtv_property{};
            props[i].cmd = list[i].cmd;
            props[i].u.data = list[i].value;
        }
        dtv_properties all{static_cast<__u32>(props.size()), props.data()};
        return ioctl(frontend_, FE_SET_PROPERTY, &all) == 0;
    }

    bool readStatus(uint32_t* status) override {
        fe_status_t s{};
        if (frontend_ < 0 || ioctl(frontend_, FE_READ_STATUS, &s) != 0) return false;
        *status = static_cast<uint32_t>(s);
        return true;
    }

    bool readStat(uint32_t cmd, DvbStat* stat) override {
        dtv_property p{};
        p.cmd = cmd;
        dtv_properties all{1, &p};
        if (frontend_ < 0 || ioctl(frontend_, FE_GET_PROPERTY, &all) != 0) return false;
        if (p.u.st.len == 0) {
            *stat = {};
            return true;
        }
        stat->scale = p.u.st.stat[0].scale;
        stat->value = stat->scale == FE_SCALE_DECIBEL ? p.u.st.stat[0].svalue
                                                      : static_cast<int64_t>(p.u.st.stat[0].uvalue);
        return true;
    }

    bool filterPids(const std::vector<uint16_t>& pids) override {
        if (pids.empty()) return false;
        if (demux_ < 0) {
            demux_ = ::open((dir_ + "demux0").c_str(), O_RDWR | O_NONBLOCK);
            if (demux_ < 0) return false;
            // The dvr buffer holds several seconds of the whole channel: a reader that polls
            // every few milliseconds never lets it overflow.
            ioctl(demux_, DMX_SET_BUFFER_SIZE, 4 << 20);
            dmx_pes_filter_params f{};
            f.pid = pids.front();
            f.input = DMX_IN_FRONTEND;
            f.output = DMX_OUT_TS_TAP;
            f.pes_type = DMX_PES_OTHER;
            f.flags = DMX_IMMEDIATE_START;
            if (ioctl(demux_, DMX_SET_PES_FILTER, &f) != 0) {
                stopFilter();
                return false;
            }
            added_.assign(1, pids.front());
        }
        for (uint16_t pid : pids) {
            bool have = false;
            for (uint16_t a : added_) have = have || a == pid;
            if (have) continue;
            __u16 p = pid;
            if (ioctl(demux_, DMX_ADD_PID, &p) == 0) added_.push_back(pid);
        }
        if (dvr_ < 0) dvr_ = ::open((dir_ + "dvr0").c_str(), O_RDONLY | O_NONBLOCK);
        return dvr_ >= 0;
    }

    void stopFilter() override {
        if (dvr_ >= 0) ::close(dvr_);
        if (demux_ >= 0) {
            ioctl(demux_, DMX_STOP);
            ::close(demux_);
        }
        dvr_ = demux_ = -1;
        added_.clear();
    }

    long readDvr(uint8_t* buffer, size_t size) override {
        if (dvr_ < 0) return -1;
        const ssize_t n = ::read(dvr_, buffer, size);
        if (n > 0) return static_cast<long>(n);
        if (n == 0) return 0;
        // EOVERFLOW: the kernel's buffer ran over and dropped data; the next read goes on.
        if (errno == EAGAIN || errno == EINTR || errno == EOVERFLOW) return 0;
        return -1; // ENODEV and the like: the device went away
    }

private:
    std::string dir_;
    int frontend_ = -1, demux_ = -1, dvr_ = -1;
    std::vector<uint16_t> added_;
};

} // namespace

std::unique_ptr<DvbDevice> makeLinuxDvbDevice(int adapter) {
    return std::make_unique<LinuxDvbDevice>(adapter);
}

} // namespace veltra
