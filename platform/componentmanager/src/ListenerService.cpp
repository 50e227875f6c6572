// The parameter and event listener service.
//
// Listeners live in one process-wide list under a recursive lock, so a
// listener procedure may set parameters or post events itself. Property-change
// registrations share one property listener per (unit, property) on the unit,
// counted by the registrations that need it.
#include <AudioToolbox/AudioUnitUtilities.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

struct AUListenerBase
{
    AUParameterListenerProc parameterProc = nullptr;
    AUEventListenerProc eventProc = nullptr;
    void* userData = nullptr;

    struct Registration
    {
        void* object;
        AudioUnitEvent event;
    };
    std::vector<Registration> registrations;
};

namespace
{

struct Service
{
    std::recursive_mutex lock;
    std::vector<AUListenerBase*> listeners;
    std::map<std::pair<AudioUnit, AudioUnitPropertyID>, int> propertyHooks;
};

Service& TheService()
{
    static Service service;
    return service;
}

bool IsParameterEvent(AudioUnitEventType type)
{
    return type == kAudioUnitEvent_ParameterValueChange ||
           type == kAudioUnitEvent_BeginParameterChangeGesture ||
           type == kAudioUnitEvent_EndParameterChangeGesture;
}

bool SameParameter(const AudioUnitParameter& registered, const AudioUnitParameter& changed)
{
    return registered.mAudioUnit == changed.mAudioUnit && registered.mScope == changed.mScope &&
           registered.mElement == changed.mElement &&
           (registered.mParameterID == kAUParameterListener_AnyParameter ||
            registered.mParameterID == changed.mParameterID);
}

bool SameProperty(const AudioUnitProperty& registered, const AudioUnitProperty& changed)
{
    return registered.mAudioUnit == changed.mAudioUnit &&
           registered.mPropertyID == changed.mPropertyID && registered.mScope == changed.mScope &&
           registered.mElement == changed.mElement;
}

bool Matches(const AUListenerBase::Registration& registration, const AudioUnitEvent& event)
{
    if (registration.event.mEventType != event.mEventType)
        return false;
    if (event.mEventType == kAudioUnitEvent_PropertyChange)
        return SameProperty(registration.event.mArgument.mProperty, event.mArgument.mProperty);
    return SameParameter(registration.event.mArgument.mParameter, event.mArgument.mParameter);
}

bool SameRegistration(const AUListenerBase::Registration& a, const AUListenerBase::Registration& b)
{
    if (a.object != b.object || a.event.mEventType != b.event.mEventType)
        return false;
    if (a.event.mEventType == kAudioUnitEvent_PropertyChange)
        return SameProperty(a.event.mArgument.mProperty, b.event.mArgument.mProperty);
    const AudioUnitParameter& x = a.event.mArgument.mParameter;
    const AudioUnitParameter& y = b.event.mArgument.mParameter;
    return x.mAudioUnit == y.mAudioUnit && x.mParameterID == y.mParameterID &&
           x.mScope == y.mScope && x.mElement == y.mElement;
}

// Calls every registration that matches the event, except the sender's own
// registration for the sending object. Caller holds the lock.
void Deliver(Service& service, AUListenerBase* sender, void* senderObject,
             const AudioUnitEvent& event, AudioUnitParameterValue value)
{
    struct Call
    {
        AUListenerBase* listener;
        void* object;
    };
    std::vector<Call> calls;
    for (AUListenerBase* listener : service.listeners)
        for (const AUListenerBase::Registration& registration : listener->registrations)
            if (Matches(registration, event) &&
                !(listener == sender && registration.object == senderObject))
                calls.push_back({listener, registration.object});

    for (const Call& call : calls)
    {
        if (std::find(service.listeners.begin(), service.listeners.end(), call.listener) ==
            service.listeners.end())
            continue; // disposed by an earlier procedure
        if (call.listener->eventProc != nullptr)
            call.listener->eventProc(call.listener->userData, call.object, &event, 0, value);
        else if (call.listener->parameterProc != nullptr)
            call.listener->parameterProc(call.listener->userData, call.object,
                                         &event.mArgument.mParameter, value);
    }
}

void PropertyHook(void*, AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                  AudioUnitElement element)
{
    AudioUnitEvent event{};
    event.mEventType = kAudioUnitEvent_PropertyChange;
    event.mArgument.mProperty = {unit, id, scope, element};
    Service& service = TheService();
    const std::lock_guard<std::recursive_mutex> guard(service.lock);
    Deliver(service, nullptr, nullptr, event, 0.0f);
}

// Installs or removes the unit's property listener for a property-change
// registration. Caller holds the lock.
void HookProperty(Service& service, const AudioUnitProperty& property, int change)
{
    const auto key = std::make_pair(property.mAudioUnit, property.mPropertyID);
    int& count = service.propertyHooks[key];
    if (change > 0 && count++ == 0)
        AudioUnitAddPropertyListener(property.mAudioUnit, property.mPropertyID, PropertyHook,
                                     nullptr);
    if (change < 0 && --count == 0)
    {
        AudioUnitRemovePropertyListener(property.mAudioUnit, property.mPropertyID, PropertyHook);
        service.propertyHooks.erase(key);
    }
}

bool IsListener(Service& service, AUListenerBase* listener)
{
    return listener != nullptr && std::find(service.listeners.begin(), service.listeners.end(),
                                            listener) != service.listeners.end();
}

OSStatus Create(AUParameterListenerProc parameterProc, AUEventListenerProc eventProc,
                void* userData, AUListenerBase** outListener)
{
    if ((parameterProc == nullptr && eventProc == nullptr) || outListener == nullptr)
        return paramErr;
    auto* listener = new (std::nothrow) AUListenerBase;
    if (listener == nullptr)
        return memFullErr;
    listener->parameterProc = parameterProc;
    listener->eventProc = eventProc;
    listener->userData = userData;
    Service& service = TheService();
    const std::lock_guard<std::recursive_mutex> guard(service.lock);
    service.listeners.push_back(listener);
    *outListener = listener;
    return noErr;
}

OSStatus AddRegistration(AUListenerBase* listener, void* object, const AudioUnitEvent& event)
{
    Service& service = TheService();
    const std::lock_guard<std::recursive_mutex> guard(service.lock);
    if (!IsListener(service, listener))
        return paramErr;
    if (event.mEventType == kAudioUnitEvent_PropertyChange)
        HookProperty(service, event.mArgument.mProperty, +1);
    listener->registrations.push_back({object, event});
    return noErr;
}

OSStatus RemoveRegistration(AUListenerBase* listener, void* object, const AudioUnitEvent& event)
{
    Service& service = TheService();
    const std::lock_guard<std::recursive_mutex> guard(service.lock);
    if (!IsListener(service, listener))
        return paramErr;
    const AUListenerBase::Registration wanted{object, event};
    auto& registrations = listener->registrations;
    for (auto it = registrations.begin(); it != registrations.end();)
    {
        if (!SameRegistration(*it, wanted))
        {
            ++it;
            continue;
        }
        if (it->event.mEventType == kAudioUnitEvent_PropertyChange)
            HookProperty(service, it->event.mArgument.mProperty, -1);
        it = registrations.erase(it);
    }
    return noErr;
}

AudioUnitEvent ValueChange(const AudioUnitParameter& parameter)
{
    AudioUnitEvent event{};
    event.mEventType = kAudioUnitEvent_ParameterValueChange;
    event.mArgument.mParameter = parameter;
    return event;
}

} // namespace

extern "C" OSStatus AUListenerCreate(AUParameterListenerProc inProc, void* inUserData, void*,
                                     CFStringRef, Float32, AUParameterListenerRef* outListener)
{
    return Create(inProc, nullptr, inUserData, outListener);
}

extern "C" OSStatus AUEventListenerCreate(AUEventListenerProc inProc, void* inUserData, void*,
                                          CFStringRef, Float32, Float32,
                                          AUEventListenerRef* outListener)
{
    return Create(nullptr, inProc, inUserData, outListener);
}

extern "C" OSStatus AUListenerDispose(AUParameterListenerRef inListener)
{
    Service& service = TheService();
    const std::lock_guard<std::recursive_mutex> guard(service.lock);
    if (!IsListener(service, inListener))
        return paramErr;
    for (const auto& registration : inListener->registrations)
        if (registration.event.mEventType == kAudioUnitEvent_PropertyChange)
            HookProperty(service, registration.event.mArgument.mProperty, -1);
    std::erase(service.listeners, inListener);
    delete inListener;
    return noErr;
}

extern "C" OSStatus AUListenerAddParameter(AUParameterListenerRef inListener, void* inObject,
                                           const AudioUnitParameter* inParameter)
{
    if (inParameter == nullptr)
        return paramErr;
    return AddRegistration(inListener, inObject, ValueChange(*inParameter));
}

extern "C" OSStatus AUListenerRemoveParameter(AUParameterListenerRef inListener, void* inObject,
                                              const AudioUnitParameter* inParameter)
{
    if (inParameter == nullptr)
        return paramErr;
    return RemoveRegistration(inListener, inObject, ValueChange(*inParameter));
}

extern "C" OSStatus AUEventListenerAddEventType(AUEventListenerRef inListener, void* inObject,
                                                const AudioUnitEvent* inEvent)
{
    if (inEvent == nullptr || (!IsParameterEvent(inEvent->mEventType) &&
                               inEvent->mEventType != kAudioUnitEvent_PropertyChange))
        return paramErr;
    return AddRegistration(inListener, inObject, *inEvent);
}

extern "C" OSStatus AUEventListenerRemoveEventType(AUEventListenerRef inListener, void* inObject,
                                                   const AudioUnitEvent* inEvent)
{
    if (inEvent == nullptr)
        return paramErr;
    return RemoveRegistration(inListener, inObject, *inEvent);
}

extern "C" OSStatus AUParameterSet(AUParameterListenerRef inSendingListener, void* inSendingObject,
                                   const AudioUnitParameter* inParameter,
                                   AudioUnitParameterValue inValue, UInt32 inBufferOffsetInFrames)
{
    if (inParameter == nullptr)
        return paramErr;
    const OSStatus result = AudioUnitSetParameter(
        inParameter->mAudioUnit, inParameter->mParameterID, inParameter->mScope,
        inParameter->mElement, inValue, inBufferOffsetInFrames);
    if (result != noErr)
        return result;
    Service& service = TheService();
    const std::lock_guard<std::recursive_mutex> guard(service.lock);
    Deliver(service, inSendingListener, inSendingObject, ValueChange(*inParameter), inValue);
    return noErr;
}

extern "C" OSStatus AUParameterListenerNotify(AUParameterListenerRef inSendingListener,
                                              void* inSendingObject,
                                              const AudioUnitParameter* inParameter)
{
    if (inParameter == nullptr)
        return paramErr;
    AudioUnitEvent event = ValueChange(*inParameter);
    return AUEventListenerNotify(inSendingListener, inSendingObject, &event);
}

extern "C" OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener,
                                          void* inSendingObject, const AudioUnitEvent* inEvent)
{
    if (inEvent == nullptr)
        return paramErr;
    if (inEvent->mEventType == kAudioUnitEvent_PropertyChange)
    {
        Service& service = TheService();
        const std::lock_guard<std::recursive_mutex> guard(service.lock);
        Deliver(service, inSendingListener, inSendingObject, *inEvent, 0.0f);
        return noErr;
    }
    if (!IsParameterEvent(inEvent->mEventType))
        return paramErr;
    // Listeners see the parameter's current value; a gesture on a parameter
    // the unit cannot read still reaches them, with 0.
    const AudioUnitParameter& parameter = inEvent->mArgument.mParameter;
    AudioUnitParameterValue value = 0.0f;
    const OSStatus read = AudioUnitGetParameter(parameter.mAudioUnit, parameter.mParameterID,
                                                parameter.mScope, parameter.mElement, &value);
    if (read != noErr && inEvent->mEventType == kAudioUnitEvent_ParameterValueChange)
        return read;
    Service& service = TheService();
    const std::lock_guard<std::recursive_mutex> guard(service.lock);
    Deliver(service, inSendingListener, inSendingObject, *inEvent, read == noErr ? value : 0.0f);
    return noErr;
}
