// The editor interface an effect's dispatcher forwards the host's editor
// opcodes to. The base answers "nothing to show": an effect's graphical
// editor derives from it and overrides what it supports.
#pragma once

#include "aeffectx.h"

class AudioEffect;

class AEffEditor
{
public:
    explicit AEffEditor(AudioEffect* effect) : effect(effect) {}
    virtual ~AEffEditor() = default;

    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    virtual AudioEffect* getEffect() { return effect; }
    // Stores the editor's rectangle in *rect; the base has none.
    virtual bool getRect(ERect** rect)
    {
        if (rect)
            *rect = nullptr;
        return false;
    }
    // window is the host's parent window (an X11 window id on Linux).
    virtual bool open(void* window)
    {
        systemWindow = window;
        return false;
    }
    virtual void close() { systemWindow = nullptr; }
    virtual bool isOpen() { return systemWindow != nullptr; }
    virtual void idle() {}
    virtual void draw(ERect* /*rect*/) {}
    virtual VstInt32 mouse(VstInt32 /*x*/, VstIntPtr /*y*/) { return 0; }
    virtual VstInt32 key(VstInt32 /*keyCode*/) { return 0; }
    virtual void top() {}
    virtual void sleep() {}
    virtual bool onKeyDown(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onKeyUp(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onWheel(float /*distance*/) { return false; }
    virtual bool setKnobMode(VstInt32 /*mode*/) { return false; }

protected:
    AudioEffect* effect = nullptr;
    void* systemWindow = nullptr;
};
