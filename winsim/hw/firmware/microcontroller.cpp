#include "hw/firmware/microcontroller.h"

#include "common/message_wire.h"
#include "hw/firmware/flash_image.h"

namespace winsim::hw {

namespace {

constexpr UCHAR kMessageInEndpoint = 0x81;

}  // namespace

Microcontroller::Microcontroller(AdapterModel& adapter, UsbBus& bus, FlashMemory flash, std::string bootLoaderText)
    : adapter_(adapter), bus_(bus), flash_(flash), bootLoader_(flash_, std::move(bootLoaderText))
{
    adapter_.SetEndpointHandler(this);
}

Microcontroller::~Microcontroller()
{
    schedule_.Stop();
    bus_.Unplug(adapter_);
    // Whatever the bus thread was handing over has been delivered.
    Scheduler::Instance().Settle();
    adapter_.SetEndpointHandler(nullptr);
    std::unique_ptr<ApplicationFirmware> application;
    {
        std::lock_guard lk(runLock_);
        application = std::move(application_);
    }
}

pnp::DeviceNode* Microcontroller::Plug()
{
    Boot();
    return bus_.Plug(adapter_);
}

void Microcontroller::Unplug()
{
    schedule_.Clear();
    bus_.Unplug(adapter_);
    std::lock_guard lk(runLock_);
    // The request to stay in the boot loader lives in RAM.
    bootLoaderRequested_ = false;
}

void Microcontroller::Boot()
{
    std::unique_ptr<ApplicationFirmware> next;
    bool requested;
    {
        std::lock_guard lk(runLock_);
        requested = bootLoaderRequested_;
        bootLoaderRequested_ = false;
    }
    if (!requested && HeaderValidates(flash_)) {
        next = std::make_unique<ApplicationFirmware>(adapter_, BuildTextInFlash(flash_));
        next->SetRestartHandler([this](bool bootLoaderRequested) {
            schedule_.After(kResetDelay, [this, bootLoaderRequested] { Restart(bootLoaderRequested); });
        });
    }
    std::unique_ptr<ApplicationFirmware> previous;
    {
        std::lock_guard lk(runLock_);
        previous = std::move(application_);
        application_ = std::move(next);
    }
    // It leaves the service loop here, with no lock held that the bus needs.
    previous.reset();
}

void Microcontroller::Restart(bool bootLoaderRequested)
{
    bus_.Unplug(adapter_);
    {
        std::lock_guard lk(runLock_);
        bootLoaderRequested_ = bootLoaderRequested;
    }
    Boot();
    schedule_.After(kReconnectDelay, [this] { Reconnect(); });
}

void Microcontroller::Reconnect()
{
    bus_.Plug(adapter_);
    std::function<void()> observer;
    {
        std::lock_guard lk(observerLock_);
        ++restarts_;
        observer = observer_;
    }
    if (observer) observer();
}

void Microcontroller::SendIn(std::vector<UCHAR> message) { adapter_.QueueIn(kMessageInEndpoint, message); }

void Microcontroller::OnOut(UCHAR endpoint, const std::vector<UCHAR>& packet)
{
    bool unplug = false;
    {
        std::lock_guard lk(runLock_);
        if (application_ != nullptr) {
            application_->OnOut(endpoint, packet);
            return;
        }
        const ULONG writesBefore = bootLoader_.Writes();
        BootLoader::Answer answer = bootLoader_.Handle(packet);
        if (unplugAtWrite_ != 0 && writesBefore < unplugAtWrite_ && bootLoader_.Writes() >= unplugAtWrite_) {
            unplugAtWrite_ = 0;
            unplug = true;
        } else {
            if (!answer.message.empty()) {
                if (answer.after == 0) {
                    SendIn(std::move(answer.message));
                } else {
                    schedule_.After(answer.after, [this, message = std::move(answer.message)]() mutable {
                        SendIn(std::move(message));
                    });
                }
            }
            if (answer.restart) schedule_.After(kResetDelay, [this] { Restart(false); });
        }
    }
    if (unplug) Unplug();
}

bool Microcontroller::RunsApplication() const
{
    std::lock_guard lk(runLock_);
    return application_ != nullptr;
}

std::string Microcontroller::ApplicationText() const
{
    std::lock_guard lk(runLock_);
    return application_ != nullptr ? application_->VersionText() : std::string();
}

void Microcontroller::WithApplication(const std::function<void(ApplicationFirmware&)>& f)
{
    std::lock_guard lk(runLock_);
    if (application_ != nullptr) f(*application_);
}

ULONG Microcontroller::Restarts() const
{
    std::lock_guard lk(observerLock_);
    return restarts_;
}

void Microcontroller::SetRestartObserver(std::function<void()> observer)
{
    std::lock_guard lk(observerLock_);
    observer_ = std::move(observer);
}

void Microcontroller::UnplugAfterWrites(ULONG nth)
{
    std::lock_guard lk(runLock_);
    unplugAtWrite_ = nth == 0 ? 0 : bootLoader_.Writes() + nth;
}

}  // namespace winsim::hw
