/* The simulated HID bus: its C interface for test programs and the demo.
 *
 * The simulation module TovaroCitrixVCSim (.dll / .so) exports every function below, so a program
 * that loaded the module finds them with GetProcAddress or dlsym; unit tests may instead link the
 * library tov_simbus directly. All functions may be called from any thread.
 *
 * A simulated interface has a path like a real HID interface path,
 *   \\?\hid#vid_0911&pid_0c1c&mi_00#sim&7#{4d1e55b2-f16f-11cf-88cb-001111000030}
 * (enumeration gives it in lower case; notifications carry the upper-case form, as Windows does).
 * Opening it gives a real handle: on Windows a named-pipe client in message mode served by the bus
 * in the same process, natively one end of a SOCK_SEQPACKET socket pair. Paths the bus does not
 * know fall through to the system's open, so a plain file opens but has no HID attributes.
 *
 * Arrivals and removals: on Windows the bus sends WM_DEVICECHANGE with a
 * DEV_BROADCAST_DEVICEINTERFACE_A to every window registered for the HID class, with SendMessage
 * from the calling thread (so the message runs on the thread that owns the window; if that is
 * another thread, it must be pumping messages). Natively they are queued per registered recipient
 * and delivered when the thread that registered it calls TovPlatform_PumpMessages.
 */
#ifndef TOV_SIM_BUS_H
#define TOV_SIM_BUS_H

#ifdef __cplusplus
extern "C" {
#endif

/* One model of the catalogue. */
typedef struct TovSimModel {
    const char* key;  /* the name TovSim_Plug takes, e.g. "SpeechMikeIII" */
    const char* name; /* the display name of the device */
    unsigned vendorID, productID, versionNumber;
    unsigned usagePage, usage;          /* top-level collection of the main interface */
    int inputReportByteLength;          /* report-ID byte included */
    int outputReportByteLength;         /* 0: no output report */
    int interfaceCount;                 /* interfaces plugged together (main one first) */
    int supported;                      /* 1 when the driver serves the main interface */
} TovSimModel;

/* Number of catalogue models; entry index 0 .. count-1 into *model (1, or 0 out of range). */
int TovSim_CatalogueCount(void);
int TovSim_CatalogueEntry(int index, TovSimModel* model);

/* Plugs a catalogue model (all its interfaces) and announces each arrival. Returns the id of the
 * main interface (the others follow as id+1, ...), or 0 for an unknown key. */
int TovSim_Plug(const char* modelKey);
/* Plugs one interface with the given ids, top-level usage and report lengths (0 .. 65535). */
int TovSim_PlugCustom(unsigned vendorID, unsigned productID, unsigned versionNumber, unsigned usagePage,
                      unsigned usage, int inputReportByteLength, int outputReportByteLength);
/* Unplugs the physical device that interface id belongs to: every open handle of it is broken (a
 * pending read completes with an error, later I/O fails), then each removal is announced.
 * 1 when done, 0 for an unknown id. */
int TovSim_Unplug(int id);
/* Unplugs everything without announcements and forgets all records, failures and counters. */
void TovSim_Reset(void);

/* Changes the ids an interface reports from now on (as after a firmware update); 1, 0 bad id. */
int TovSim_SetAttributes(int id, unsigned vendorID, unsigned productID, unsigned versionNumber);

/* The ids of all interfaces of the physical device id belongs to; returns their count. */
int TovSim_Interfaces(int id, int* ids, int capacity);
/* The interface's path (lower case) with its NUL; returns its length, -1 for an unknown id. */
int TovSim_DevicePath(int id, char* buffer, int size);

/* Delivers one input report (1 .. inputReportByteLength bytes; shorter ones arrive zero-padded)
 * to every open read handle of the interface. Returns the number of handles it reached (0 when
 * nobody reads: the report is then dropped and not recorded), -1 for a bad id or length. */
int TovSim_SendInputReport(int id, const void* report, int length);
/* The bus's record of the input reports it delivered (reached at least one handle), in order. */
int TovSim_DeliveredReportCount(int id);
/* Copies delivered report index; returns its length, -1 when there is none. */
int TovSim_DeliveredReport(int id, int index, void* buffer, int size);

/* Output reports written to the interface, oldest first. TovSim_ReadOutputReport removes the
 * oldest and returns its length (copying at most size bytes), 0 when there is none, -1 bad id. */
int TovSim_OutputReportCount(int id);
int TovSim_ReadOutputReport(int id, void* buffer, int size);

/* Refuses the next open or query of the given kinds (bit mask) on interface id, or with id 0 on
 * whichever simulated interface is asked next. Each kind refuses once. Returns 1, 0 bad id. */
#define TOVSIM_FAIL_QUERY_OPEN 1u     /* open with access 0 (the probe): the path cannot be opened */
#define TOVSIM_FAIL_READ_OPEN 2u      /* open for reading: access denied */
#define TOVSIM_FAIL_WRITE_OPEN 4u     /* open for writing: access denied */
#define TOVSIM_FAIL_PREPARSED_DATA 8u /* HidD_GetPreparsedData fails */
#define TOVSIM_FAIL_CAPS 16u          /* HidP_GetCaps answers an error status */
#define TOVSIM_FAIL_ENUMERATION 32u   /* SetupDiGetClassDevs fails (id ignored) */
#define TOVSIM_FAIL_WRITE 64u         /* the next write of an output report fails */
int TovSim_FailNextOpen(int id, unsigned kinds);

/* Breaks every pending or later read of the handles open for reading on interface id: the read
 * completes with an error and those handles are dead. The device stays plugged and can be opened
 * again. Returns the number of handles broken, -1 bad id. */
int TovSim_BreakPendingRead(int id);

/* Makes the readers of interface id fail in their wait for a report, as a failing system wait
 * does (the driver's reader then ends with its "USBHIDManager" message box): they are woken with
 * one report of zeros (not recorded as delivered), and their next wait fails. Natively every
 * poll() of more than one descriptor in the process fails with EINVAL, and no descriptor can be
 * opened, until the driver's next message box (or TovSim_Reset) restores the limit. Returns the
 * number of readers woken, 0 when nobody reads, -1 for a bad id or where the platform offers no
 * such failure (Windows: a reader waits on an event of its own). */
int TovSim_BreakReaderWait(int id);

/* Holds the writes of output reports to interface id while on is 1, as a device that does not
 * take them yet: each write waits inside the HID seam's write call (the writing thread blocks)
 * until holding is turned off (0), when the writes go on in the order they came, or until the
 * device is unplugged or the bus reset, when they fail. Returns 1, 0 for a bad id.
 * TovSim_HeldWriteCount gives how many writes wait now; TovSim_WaitForHeldWrites waits at most
 * milliseconds until at least count writes wait and returns 1 when they do. A held write also ends,
 * failing, when the driver cancels it or when the time-out the driver gave it runs out; with on 2
 * it ignores both, as a hidraw write does, which only the kernel's own bound ends. */
int TovSim_HoldWrites(int id, int on);
int TovSim_HeldWriteCount(void);
int TovSim_WaitForHeldWrites(int count, int milliseconds);
/* Natively, holds the readers of interface id while on is 1, as a reader stuck in its report
 * handler: a reader that finds a report waiting stays inside the HID seam's read, where no stop
 * reaches it, until holding is off, the device is unplugged or the bus reset. Returns 1, 0 for a bad
 * id or on Windows (a reader reads its pipe itself). TovSim_WaitForHeldReads waits at most
 * milliseconds until at least count reads are held and returns 1 when they are. */
int TovSim_HoldReads(int id, int on);
int TovSim_WaitForHeldReads(int count, int milliseconds);
/* Held writes given up because the driver cancelled them (or their time ran out), since the last
 * TovSim_Reset; TovSim_LastCancelledWrite copies the report bytes the last of them found in the
 * driver's buffer as it ended (returns their length, 0 when none was cancelled). */
int TovSim_CancelledWriteCount(void);
int TovSim_LastCancelledWrite(void* buffer, int size);

/* Live handles open for reading on the interface, and all live handles (any access). */
int TovSim_ReaderCount(int id);
int TovSim_OpenCount(int id);

/* The bus's log of the HID seam's open call: every path the driver handed to it (simulated or
 * not, which falls through to the system), in call order, since the last TovSim_Reset. The count
 * covers every call; the paths of the first 65536 are kept. TovSim_OpenCallPath copies path index
 * with its NUL and returns its length, -1 when there is none. */
int TovSim_OpenCallCount(void);
int TovSim_OpenCallPath(int index, char* buffer, int size);

/* Marks the calling thread: from now on the bus counts the HID seam's open and query calls
 * (OpenPath, GetAttributes, GetPreparsedData) made on it, whatever path or handle they name.
 * TovSim_MarkedThreadCallCount gives that count; a new mark, or TovSim_Reset, starts it again. */
void TovSim_MarkThread(void);
int TovSim_MarkedThreadCallCount(void);

/* Holds every query open (access 0, the probe's) while on is 1, as a system open that does not
 * come back: the calling thread waits inside the seam's open until holding is turned off (0), the
 * bus is reset, or 20 s have passed, and the open then goes on. TovSim_HeldQueryOpenCount gives
 * how many wait now; TovSim_WaitForHeldQueryOpens waits at most milliseconds until at least count
 * wait and returns 1 when they do. */
void TovSim_HoldQueryOpens(int on);
int TovSim_HeldQueryOpenCount(void);
int TovSim_WaitForHeldQueryOpens(int count, int milliseconds);

/* Sends an arbitrary WM_DEVICECHANGE to the registered recipients: event (wParam), and a record
 * of deviceType carrying name (for device type 5 a DEV_BROADCAST_DEVICEINTERFACE_A, otherwise a
 * 12-byte DEV_BROADCAST_HDR); deviceType 0 sends a null lParam. Returns the recipients reached. */
int TovSim_SendDeviceChange(unsigned event, unsigned deviceType, const char* name);

/* Message boxes of the driver: while recording is on they are stored (and answered with OK)
 * instead of shown. */
void TovSim_RecordMessageBoxes(int on);
/* While holding is on (and recording), a recorded box stays open, as a box no one has clicked
 * yet: the thread that shows it waits until TovSim_DismissMessageBoxes answers every open box
 * with OK (turning holding off dismisses them too). TovSim_OpenMessageBoxCount gives how many
 * are open now; TovSim_WaitForOpenMessageBox waits at most milliseconds until at least count are
 * open and returns 1 when they are. */
void TovSim_HoldMessageBoxes(int on);
int TovSim_OpenMessageBoxCount(void);
int TovSim_WaitForOpenMessageBox(int count, int milliseconds);
void TovSim_DismissMessageBoxes(void);
int TovSim_MessageBoxCount(void);
/* Copies box index; returns 1, or 0 when there is none. Any pointer may be null. */
int TovSim_GetMessageBox(int index, char* text, int textSize, char* caption, int captionSize, unsigned* type);
void TovSim_ClearMessageBoxes(void);

/* Delivers what waits for the calling thread: natively the queued device notifications of the
 * recipients this thread registered; on Windows the thread's posted window messages (sent
 * messages are delivered as well, as the system does while a thread pumps). Returns the number
 * delivered. A host calls it on its engine thread once per loop. */
int TovPlatform_PumpMessages(void);

#ifdef __cplusplus
}
#endif

#endif
