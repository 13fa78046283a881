// HostApiTable: the table of host operations a host hands the plugin, filled from the static
// members of the host class `Owner` (SendRemotingRequest ... WriteLog), with the way back from
// the table to its host right behind it. Owner befriends HostApiTable<Owner> when its operations
// are private.
#pragma once

#include "plugin/host_boundary.h"

namespace Kolm::Host {

template <class Owner>
struct HostApiTable {
    HostApi api;  // first, so that the table's address is this record's
    Owner* owner;

    explicit HostApiTable(Owner* host) : api{}, owner(host) {
        api.SendRemotingRequest = &Owner::SendRemotingRequest;
        api.SendHttpRequest = &Owner::SendHttpRequest;
        api.SendEvent = &Owner::SendEvent;
        api.SubscribeHostEvent = &Owner::SubscribeHostEvent;
        api.UnsubscribeHostEvent = &Owner::UnsubscribeHostEvent;
        api.Reserved5 = &Owner::Reserved5;
        api.HostYield = &Owner::HostYield;
        api.BeginWait = &Owner::BeginWait;
        api.EndWait = &Owner::EndWait;
        api.WriteLog = &Owner::WriteLog;
    }

    // The host whose table `table` is.
    static Owner& OwnerOf(const HostApi* table) {
        return *reinterpret_cast<const HostApiTable*>(table)->owner;
    }
};

}  // namespace Kolm::Host
