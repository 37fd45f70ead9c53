#pragma once
// The connection to a network printer (socket://host:port), as the app's own device: PAPPL
// writes the job to it as to any device, and the printer's status code asks the printer on
// the same connection, waits for its answer as long as it chooses, and puts a new
// connection in the place of a lost one. PAPPL's own socket device offers neither.

#include <pappl/pappl.h>

#include <cstdint>

// Makes socket:// URIs the app's device. Called once, before any printer is loaded.
void AddNetworkDevice();

// The connected socket of `device` when it is the app's network device, else -1 (a USB
// printer, a file, another scheme's device).
int NetworkSocket(pappl_device_t *device);

// A number that changes with every connection of `device` (0 when it is not the app's):
// a printer known to stay silent on one connection may answer on the next.
uint64_t NetworkConnection(pappl_device_t *device);

// Connects `device` to its printer again, trying for at most `timeoutMs`; the new
// connection takes the place of the old one, and what was written but not sent is
// dropped with the old one. False when it could not connect or `device` is not the app's.
bool ReconnectNetwork(pappl_device_t *device, int timeoutMs);
