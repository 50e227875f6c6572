// MIDI routing through the MusicDevice calls.
#include "TestUnit.h"

class Midi : public UnitTest
{
};

TEST_F(Midi, RefusedBeforeInitialisation)
{
    AudioUnit unit = OpenMidi();
    EXPECT_EQ(MusicDeviceMIDIEvent(unit, 0x90, 60, 100, 0), kAudioUnitErr_Uninitialized);
    const UInt8 sysex[] = {0xF0, 0x7E, 0xF7};
    EXPECT_EQ(MusicDeviceSysEx(unit, sysex, sizeof sysex), kAudioUnitErr_Uninitialized);
    EXPECT_TRUE(UnitObject<MidiTestUnit>(unit)->log.empty());
}

TEST_F(Midi, ChannelMessagesReachTheirHooks)
{
    AudioUnit unit = OpenMidi();
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    struct Case
    {
        UInt32 status, data1, data2, offset;
        const char* expected; // null: no hook
    };
    const Case cases[] = {
        {0x92, 60, 100, 5, "on 2 60 100 @5"},
        {0x93, 60, 0, 0, "off 3 60 0 @0"},
        {0x81, 60, 64, 7, "off 1 60 64 @7"},
        {0xA0, 60, 30, 0, "poly 0 60 30 @0"},
        {0xB3, 120, 0, 0, "soundoff 3"},
        {0xB0, 121, 0, 0, "reset 0"},
        {0xB0, 123, 0, 0, "notesoff 0"},
        {0xB5, 50, 99, 12, "cc 5 50 99 @12"},
        {0xBF, 122, 1, 0, "cc 15 122 1 @0"},
        {0xC2, 7, 0, 0, "program 2 7"},
        {0xD1, 44, 0, 3, "pressure 1 44 @3"},
        {0xE0, 0x12, 0x34, 0, "pitch 0 18 52 @0"},
        {0xF8, 0, 0, 0, nullptr},
    };
    auto& log = UnitObject<MidiTestUnit>(unit)->log;
    for (const Case& c : cases)
    {
        log.clear();
        EXPECT_EQ(MusicDeviceMIDIEvent(unit, c.status, c.data1, c.data2, c.offset), noErr);
        if (c.expected == nullptr)
            EXPECT_TRUE(log.empty()) << std::hex << c.status;
        else
            EXPECT_EQ(log, std::vector<std::string>{c.expected}) << std::hex << c.status;
    }

    log.clear();
    const UInt8 sysex[] = {0xF0, 0x7E, 0xF7};
    EXPECT_EQ(MusicDeviceSysEx(unit, sysex, sizeof sysex), noErr);
    EXPECT_EQ(log, std::vector<std::string>{"sysex 3 f0"});
    EXPECT_EQ(MusicDeviceSysEx(unit, nullptr, 3), paramErr);
}

TEST_F(Midi, NamesAreNotOfferedAndPlainUnitsRefuseMidi)
{
    AudioUnit unit = OpenMidi();
    UInt32 size = 0;
    Boolean writable = 0;
    const struct
    {
        AudioUnitScope scope;
        AudioUnitElement element;
        OSStatus status;
    } cases[] = {
        {kAudioUnitScope_Global, 0, kAudioUnitErr_InvalidProperty},
        {kAudioUnitScope_Input, 0, kAudioUnitErr_InvalidScope},
        {kAudioUnitScope_Global, 1, kAudioUnitErr_InvalidElement},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AudioUnitGetPropertyInfo(unit, kMusicDeviceProperty_MIDIXMLNames, c.scope,
                                           c.element, &size, &writable),
                  c.status);

    AudioUnit plain = Open();
    ASSERT_EQ(AudioUnitInitialize(plain), noErr);
    EXPECT_EQ(MusicDeviceMIDIEvent(plain, 0x90, 60, 100, 0), badComponentSelector);
    EXPECT_EQ(CallComponentCanDo(unit, kMusicDeviceMIDIEventSelect), 0);
}
