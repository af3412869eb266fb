#include "platform/media/MediaCommands.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string_view>

#include "platform/Clock.h"
#include "platform/media/AudioDecoder.h"
#include "platform/media/AudioOutput.h"
#include "platform/media/AviFile.h"
#include "platform/media/MediaPlatformLimits.h"

namespace vx {
namespace {

// The log's word for each command, in the order of MediaCommand.
constexpr std::string_view kCommandNames[] = {
    "open", "close", "play", "seek", "stop", "set", "status", "setaudio", "status", "volume",
};
static_assert(std::size(kCommandNames) == kMediaCommandCount, "one name per command");

struct Device {
  uint32_t id = 0;
  std::string alias;
  MediaDeviceType type = MediaDeviceType::WaveAudio;
  std::unique_ptr<AudioDecoder> sound;  // null: a silent movie
  std::unique_ptr<AudioStream> output;
  int64_t lengthMs = 0;
  AviStreamInfo video;
  MediaTimeFormat format = MediaTimeFormat::Milliseconds;
  bool playing = false;
  uint64_t startedAt = 0;   // clock when play started
  int64_t startedFrom = 0;  // position then
  int64_t positionMs = 0;   // while not playing
  int32_t left = kMaxSetAudioVolume;
  int32_t right = kMaxSetAudioVolume;
  uint32_t waveVolume = 0xFFFFFFFFu;
};

struct Commands {
  std::map<uint32_t, std::unique_ptr<Device>> devices;
  uint32_t nextId = 1;
  std::deque<std::string> log;
  std::array<uint32_t, kMediaCommandCount> failures{};
};

Commands& TheCommands() {
  static Commands commands;
  return commands;
}

// Logs the command; true when an injected failure is due for it.
bool Send(MediaCommand command, std::string_view alias, std::string_view rest = {}) {
  Commands& commands = TheCommands();
  std::string line(kCommandNames[static_cast<size_t>(command)]);
  if (!alias.empty()) line.append(" ").append(alias);
  if (!rest.empty()) line.append(" ").append(rest);
  if (commands.log.size() >= static_cast<size_t>(kMaxLoggedCommands)) commands.log.pop_front();
  commands.log.push_back(std::move(line));
  uint32_t& failure = commands.failures[static_cast<size_t>(command)];
  return failure != 0 && --failure == 0;
}

Device* Find(uint32_t id) {
  auto& devices = TheCommands().devices;
  const auto found = devices.find(id);
  return found == devices.end() ? nullptr : found->second.get();
}

Device* FindAlias(std::string_view alias) {
  for (auto& [id, device] : TheCommands().devices)
    if (device->alias == alias) return device.get();
  return nullptr;
}

std::string_view AliasOf(uint32_t id) {
  const Device* device = Find(id);
  return device ? std::string_view(device->alias) : std::string_view("?");
}

// The position in milliseconds; a device that played to its end stops there.
int64_t PositionMs(Device& device) {
  if (!device.playing) return device.positionMs;
  const int64_t elapsed = static_cast<int64_t>(NowMs() - device.startedAt);
  const int64_t position = device.startedFrom + elapsed;
  if (position < device.lengthMs) return position;
  device.playing = false;
  device.positionMs = device.lengthMs;
  return device.positionMs;
}

int64_t MsToFrames(const Device& device, int64_t ms) {
  const auto frames = static_cast<int64_t>(std::floor(static_cast<double>(ms) * device.video.rate / 1000.0));
  return std::clamp<int64_t>(frames, 0, device.video.length);
}

double Gain(int32_t setAudio, uint32_t waveWord) {
  return (static_cast<double>(setAudio) / kMaxSetAudioVolume) * (static_cast<double>(waveWord) / kMaxWaveVolume);
}

void Feed(Device& device) {
  if (!device.playing || !device.sound) return;
  FeedAudio(*device.sound, *device.output, Gain(device.left, device.waveVolume & kMaxWaveVolume),
            Gain(device.right, device.waveVolume >> 16));
}

std::string ChannelText(AudioChannel channel) { return channel == AudioChannel::Left ? "left" : "right"; }

[[nodiscard]] int32_t OpenSound(Device& device, const char* path) {
  if (device.type == MediaDeviceType::WaveAudio) {
    device.sound = AudioDecoder::Open(path, "wav");
    if (!device.sound) return kMediaCannotOpen;
    device.lengthMs = device.sound->LengthMs();
    return kMediaOk;
  }
  if (!AviFile::Probe(path, &device.video)) return kMediaCannotOpen;
  device.lengthMs = static_cast<int64_t>(std::llround(device.video.length * 1000.0 / device.video.rate));
  device.sound = AudioDecoder::Open(path, "avi");
  return kMediaOk;
}

}  // namespace

int32_t MediaOpen(const MediaOpenRequest& request, uint32_t* id) {
  *id = 0;
  const std::string alias(request.alias ? request.alias : "");
  const char* type = request.type == MediaDeviceType::WaveAudio ? "waveaudio" : "avivideo";
  const bool fail = Send(MediaCommand::Open, alias, std::string(type) + " " + (request.path ? request.path : ""));
  Commands& commands = TheCommands();
  if (fail) return kMediaCommandFailed;
  if (alias.empty() || alias.size() > static_cast<size_t>(kMaxMediaAliasLength) || FindAlias(alias))
    return kMediaAliasInUse;
  if (commands.devices.size() >= static_cast<size_t>(kMaxMediaDevices)) return kMediaTooManyDevices;
  if (!request.path) return kMediaCannotOpen;
  auto device = std::make_unique<Device>();
  device->alias = alias;
  device->type = request.type;
  if (const int32_t opened = OpenSound(*device, request.path); opened != kMediaOk) return opened;
  device->output = OpenAudioStream();
  if (!device->output) return kMediaCannotOpen;
  device->id = commands.nextId++;
  *id = device->id;
  commands.devices.emplace(device->id, std::move(device));
  return kMediaOk;
}

int32_t MediaClose(uint32_t id) {
  Send(MediaCommand::Close, AliasOf(id));
  return TheCommands().devices.erase(id) != 0 ? kMediaOk : kMediaNoDevice;
}

int32_t MediaPlay(uint32_t id) {
  const bool fail = Send(MediaCommand::Play, AliasOf(id));
  Device* device = Find(id);
  if (!device) return kMediaNoDevice;
  if (fail) return kMediaCommandFailed;
  device->positionMs = PositionMs(*device);
  device->startedFrom = device->positionMs;
  device->startedAt = NowMs();
  device->playing = device->positionMs < device->lengthMs;
  device->output->Resume();
  Feed(*device);
  return kMediaOk;
}

int32_t MediaSeekToStart(uint32_t id) {
  const bool fail = Send(MediaCommand::Seek, AliasOf(id), "to start");
  Device* device = Find(id);
  if (!device) return kMediaNoDevice;
  if (fail) return kMediaCommandFailed;
  device->playing = false;
  device->positionMs = 0;
  device->output->Clear();
  if (device->sound && !device->sound->Rewind()) device->sound.reset();
  return kMediaOk;
}

int32_t MediaStop(uint32_t id) {
  const bool fail = Send(MediaCommand::Stop, AliasOf(id));
  Device* device = Find(id);
  if (!device) return kMediaNoDevice;
  if (fail) return kMediaCommandFailed;
  device->positionMs = PositionMs(*device);
  device->playing = false;
  device->output->Pause();
  return kMediaOk;
}

int32_t MediaSetTimeFormat(uint32_t id, MediaTimeFormat format) {
  const bool fail =
      Send(MediaCommand::Set, AliasOf(id), format == MediaTimeFormat::Frames ? "time format frames" : "time format ms");
  Device* device = Find(id);
  if (!device) return kMediaNoDevice;
  if (fail) return kMediaCommandFailed;
  if (format == MediaTimeFormat::Frames && device->type != MediaDeviceType::AviVideo) return kMediaNotSupported;
  device->format = format;
  return kMediaOk;
}

int32_t MediaSetVideoOff(uint32_t id) {
  const bool fail = Send(MediaCommand::Set, AliasOf(id), "video off");
  Device* device = Find(id);
  if (!device) return kMediaNoDevice;
  if (fail) return kMediaCommandFailed;
  return device->type == MediaDeviceType::AviVideo ? kMediaOk : kMediaNotSupported;
}

int32_t MediaStatus(uint32_t id, MediaStatusItem item, int64_t* value) {
  *value = 0;
  constexpr std::array<std::string_view, 3> kItems = {"length", "position", "samplespersec"};
  const size_t itemName = item == MediaStatusItem::Length ? 0 : item == MediaStatusItem::Position ? 1 : 2;
  const bool fail = Send(MediaCommand::Status, AliasOf(id), kItems[itemName]);
  Device* device = Find(id);
  if (!device) return kMediaNoDevice;
  if (fail) return kMediaCommandFailed;
  const bool inFrames = device->format == MediaTimeFormat::Frames;
  switch (item) {
    case MediaStatusItem::Length:
      *value = inFrames ? device->video.length : device->lengthMs;
      return kMediaOk;
    case MediaStatusItem::Position: {
      const int64_t position = PositionMs(*device);
      *value = inFrames ? MsToFrames(*device, position) : position;
      return kMediaOk;
    }
    case MediaStatusItem::SamplesPerSecond:
      if (device->type != MediaDeviceType::WaveAudio || !device->sound) return kMediaNotSupported;
      *value = device->sound->SampleRate();
      return kMediaOk;
  }
  return kMediaNotSupported;
}

int32_t MediaSetAudio(const char* alias, AudioChannel channel, int32_t volume) {
  const std::string_view name(alias ? alias : "");
  const bool fail = Send(MediaCommand::SetAudio, name, ChannelText(channel) + " volume to " + std::to_string(volume));
  Device* device = FindAlias(name);
  if (!device) return kMediaNoDevice;
  if (fail) return kMediaCommandFailed;
  (channel == AudioChannel::Left ? device->left : device->right) = std::clamp(volume, 0, kMaxSetAudioVolume);
  return kMediaOk;
}

int32_t MediaAudioStatus(const char* alias, AudioChannel channel, int32_t* volume) {
  *volume = 0;
  const std::string_view name(alias ? alias : "");
  const bool fail = Send(MediaCommand::AudioStatus, name, ChannelText(channel) + " volume");
  const Device* device = FindAlias(name);
  if (!device) return kMediaNoDevice;
  if (fail) return kMediaCommandFailed;
  *volume = channel == AudioChannel::Left ? device->left : device->right;
  return kMediaOk;
}

int32_t MediaSetWaveVolume(uint32_t id, uint32_t volumeWord) {
  char word[16];
  std::snprintf(word, sizeof word, "0x%08X", volumeWord);
  const bool fail = Send(MediaCommand::WaveVolume, AliasOf(id), word);
  Device* device = Find(id);
  if (!device) return kMediaNoDevice;
  if (fail) return kMediaCommandFailed;
  device->waveVolume = volumeWord;
  return kMediaOk;
}

void MediaPump() {
  for (auto& [id, device] : TheCommands().devices) {
    PositionMs(*device);
    Feed(*device);
  }
}

bool GetMediaDeviceState(uint32_t id, MediaDeviceState* out) {
  Device* device = Find(id);
  if (!device) return false;
  PositionMs(*device);
  const AudioLevels levels = device->output->Levels();
  *out = {device->playing,    device->left,   device->right, device->waveVolume, device->sound != nullptr,
          device->output->IsNull(), device->output->QueuedFrames(), levels.left, levels.right};
  return true;
}

int32_t OpenMediaDeviceCount() { return static_cast<int32_t>(TheCommands().devices.size()); }

std::vector<std::string> MediaCommandLog() {
  const auto& log = TheCommands().log;
  return {log.begin(), log.end()};
}

void ClearMediaCommandLog() { TheCommands().log.clear(); }

void InjectMediaCommandFailure(MediaCommand command, uint32_t n) {
  TheCommands().failures[static_cast<size_t>(command)] = n;
}

void ClearMediaCommandFailures() { TheCommands().failures = {}; }

}  // namespace vx
