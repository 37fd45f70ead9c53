#pragma once
// The printer's own status during a job: the status query (ESC ! ?) on the job's
// connection before the first label and after each, its answer shown in the printer's
// printer-state-reasons, and a job that waits while the printer reports a fault.

#include <pappl/pappl.h>

#include <cstdint>
#include <span>

// Asks the printer of `job` how it is and waits while it reports a fault (head open, out of
// paper or ribbon, jammed, paused, another error), with the fault in printer-state-reasons
// and in the job's message, asking again every second. The labels the printer already has
// wait in it and print once the fault clears, so the job goes on with the next one. While
// the printer reports that it is printing, it is asked again every 50 ms (for at most a
// minute): the next label goes out, and the job ends, once the last is on paper.
// `labels` is how many labels of the job were sent before, `resend` the bytes of the last
// one: when the connection is gone, the job waits for the printer (ReconnectPrinter),
// sends them again and asks again. Returns false, with the job's reason and message set,
// when the job was cancelled while it waited. Only network printers are asked; a printer
// that does not answer within a second is not asked again on the same connection.
bool WaitForPrinter(pappl_job_t *job, pappl_device_t *device, unsigned labels,
                    std::span<const uint8_t> resend = {});

// For a network printer whose connection is lost while label `label` of `job` went out:
// shows the printer offline and the job waiting on it, tries to connect again every
// second, and puts the new connection in the place of the lost one. False when the job
// was cancelled meanwhile, or the printer is not a network printer.
bool ReconnectPrinter(pappl_job_t *job, pappl_device_t *device, unsigned label);
