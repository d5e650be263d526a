#include "transfer/parallel_port.hpp"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tav {

namespace {

// The usual reasons a port cannot be had, in the user's words.
std::string Reason(int error) {
    switch (error) {
        case ENOENT: return "设备不存在";
        case EACCES:
        case EPERM: return "没有访问权限（可把用户加入lp组）";
        case EBUSY: return "并口正被其他程序占用";
        case ENOTTY:
        case ENXIO:
        case ENODEV: return "不是并口设备";
        default: return std::strerror(error);
    }
}

}  // namespace

bool ParallelPort::WaitStatus(std::uint8_t mask, std::uint8_t want, std::uint32_t polls) {
    for (std::uint32_t i = 0; i < polls; ++i)
        if ((ReadStatus() & mask) == want) return true;
    return false;
}

PpdevPort::PpdevPort(std::string device) : device_(std::move(device)) {
    const int fd = ::open(device_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        problem_ = "无法打开并口" + device_ + "：" + Reason(errno);
        return;
    }
    // Exclusive use of the port for as long as the link exists.
    if (::ioctl(fd, PPCLAIM) != 0) {
        problem_ = "无法占用并口" + device_ + "：" + Reason(errno);
        ::close(fd);
        return;
    }
    fd_ = fd;
}

PpdevPort::~PpdevPort() {
    if (fd_ < 0) return;
    ::ioctl(fd_, PPRELEASE);
    ::close(fd_);
}

std::uint8_t PpdevPort::ReadStatus() {
    unsigned char status = 0;
    if (fd_ < 0 || ::ioctl(fd_, PPRSTATUS, &status) != 0) return 0;
    return status;
}

void PpdevPort::WriteData(std::uint8_t value) {
    unsigned char v = value;
    if (fd_ >= 0) ::ioctl(fd_, PPWDATA, &v);
}

void PpdevPort::WriteControl(std::uint8_t value) {
    unsigned char v = value;
    if (fd_ >= 0) ::ioctl(fd_, PPWCONTROL, &v);
}

}  // namespace tav
