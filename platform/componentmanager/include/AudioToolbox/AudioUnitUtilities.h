// The parameter and event listener service: views and hosts register
// listeners for a unit's parameters, gestures and properties; whoever changes
// a parameter through AUParameterSet, or posts an event with
// AUEventListenerNotify, reaches every interested listener.
//
// There is no run loop here: listeners are called synchronously on the thread
// that sets the parameter, posts the event or changes the property (for a
// render error, the render thread), under the service's lock. The run-loop
// arguments are accepted for the calling convention and ignored; so is the
// notification interval (every change is delivered).
#pragma once

#include <AudioUnit/AudioUnit.h>

struct AudioUnitParameter
{
    AudioUnit mAudioUnit;
    AudioUnitParameterID mParameterID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;
};
typedef struct AudioUnitParameter AudioUnitParameter;

struct AudioUnitProperty
{
    AudioUnit mAudioUnit;
    AudioUnitPropertyID mPropertyID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;
};
typedef struct AudioUnitProperty AudioUnitProperty;

typedef UInt32 AudioUnitEventType;
enum
{
    kAudioUnitEvent_ParameterValueChange = 0,
    kAudioUnitEvent_BeginParameterChangeGesture = 1,
    kAudioUnitEvent_EndParameterChangeGesture = 2,
    kAudioUnitEvent_PropertyChange = 3,
};

struct AudioUnitEvent
{
    AudioUnitEventType mEventType;
    union
    {
        AudioUnitParameter mParameter;
        AudioUnitProperty mProperty;
    } mArgument;
};
typedef struct AudioUnitEvent AudioUnitEvent;

typedef struct AUListenerBase* AUParameterListenerRef;
typedef AUParameterListenerRef AUEventListenerRef;

typedef void (*AUParameterListenerProc)(void* inUserData, void* inObject,
                                        const AudioUnitParameter* inParameter,
                                        AudioUnitParameterValue inValue);
typedef void (*AUEventListenerProc)(void* inUserData, void* inObject, const AudioUnitEvent* inEvent,
                                    UInt64 inEventHostTime,
                                    AudioUnitParameterValue inParameterValue);

// Value for a parameter's element or ID meaning "any" in a registration.
enum
{
    kAUParameterListener_AnyParameter = 0xFFFFFFFFu,
};

#ifdef __cplusplus
extern "C"
{
#endif

    OSStatus AUListenerCreate(AUParameterListenerProc inProc, void* inUserData, void* inRunLoop,
                              CFStringRef inRunLoopMode, Float32 inNotificationInterval,
                              AUParameterListenerRef* outListener);
    OSStatus AUEventListenerCreate(AUEventListenerProc inProc, void* inUserData, void* inRunLoop,
                                   CFStringRef inRunLoopMode, Float32 inNotificationInterval,
                                   Float32 inValueChangeGranularity,
                                   AUEventListenerRef* outListener);
    // Removes every registration of the listener (and the property listeners it
    // installed on units) and frees it.
    OSStatus AUListenerDispose(AUParameterListenerRef inListener);

    // Registers interest in one parameter for an object (the object is handed
    // back to the procedure; null is a valid object).
    OSStatus AUListenerAddParameter(AUParameterListenerRef inListener, void* inObject,
                                    const AudioUnitParameter* inParameter);
    OSStatus AUListenerRemoveParameter(AUParameterListenerRef inListener, void* inObject,
                                       const AudioUnitParameter* inParameter);
    // Registers interest in an event; a property-change registration installs a
    // property listener on the unit.
    OSStatus AUEventListenerAddEventType(AUEventListenerRef inListener, void* inObject,
                                         const AudioUnitEvent* inEvent);
    OSStatus AUEventListenerRemoveEventType(AUEventListenerRef inListener, void* inObject,
                                            const AudioUnitEvent* inEvent);

    // Sets the parameter on its unit (AudioUnitSetParameter) and, when that
    // succeeds, notifies every listener of the parameter except the sending
    // listener's registration for the sending object.
    OSStatus AUParameterSet(AUParameterListenerRef inSendingListener, void* inSendingObject,
                            const AudioUnitParameter* inParameter, AudioUnitParameterValue inValue,
                            UInt32 inBufferOffsetInFrames);
    // Notifies the listeners of a parameter that its value changed (the value is
    // read from the unit).
    OSStatus AUParameterListenerNotify(AUParameterListenerRef inSendingListener,
                                       void* inSendingObject,
                                       const AudioUnitParameter* inParameter);
    // Posts an event (value change, gesture begin or end, property change) to
    // every listener registered for it, except the sender.
    OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void* inSendingObject,
                                   const AudioUnitEvent* inEvent);

#ifdef __cplusplus
}
#endif
