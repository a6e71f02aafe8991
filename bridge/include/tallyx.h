/* Tallyx: engine-tester values for other programs, without the Dravix Scope program.
 *
 * The library loads the measurement library Kv310 from the installation folder (the machine-wide
 * registry value "Path" under SOFTWARE\KELO\KV310), opens and starts the board link and reads the
 * engine-tester meters. It shares the single-instance lock "DravixScope" with the program: only one
 * of them uses the board at a time. Call everything from one thread, InitKV310DLL first.
 *
 * Every function returns one of the TALLYX_* codes. A measured value that cannot be given is
 * replaced by one of the TALLYX_MARK_* markers (as an int, or as a double for the advance). */
#ifndef TALLYX_H
#define TALLYX_H

#include <stdint.h>

#define TALLYX_OK 0               /* success */
#define TALLYX_PROGRAM_RUNS 1     /* the Dravix Scope program (or another host) holds the board */
#define TALLYX_FAILED 2           /* not initialised, library call failed or bad argument */
#define TALLYX_NO_ENGINE_TESTER 3 /* no engine-tester board on the measuring board */
#define TALLYX_NO_LINK 4          /* the link could not be opened, started or did not answer */
#define TALLYX_PARAMS_REFUSED 5   /* the parameter set was refused */
#define TALLYX_NO_ADVANCE_PROBE 6 /* the asked advance probe is not connected */

#define TALLYX_MARK_NOT_VALID (-1000)   /* the meter has no valid value yet */
#define TALLYX_MARK_WRONG_PROBE (-2000) /* a probe of another kind is connected */
#define TALLYX_MARK_NO_PROBE (-3000)    /* no probe is connected */

#ifdef __cplusplus
extern "C" {
#endif

/* Takes the board: the single-instance lock, Kv310, link open and start, engine-tester detection.
 * 0 ready (also when already initialised), 1 the program runs, 2 Kv310 cannot be loaded,
 * 3 no engine-tester board, 4 the link failed. On anything but 0 nothing stays held. */
int InitKV310DLL(void);

/* Stops and closes the link, unloads Kv310 and releases the lock. Always 0; harmless when not
 * initialised. */
int CloseKV310DLL(void);

/* Sends one parameter set: set 0 spark-ignition (uses cylinders, stroke, speed sensor type, marks,
 * mark offset, sensitivity, coil type), set 1 diesel (cylinders, stroke, speed sensor type, marks,
 * mark offset, sensitivity, pressure sensor type, comparative level). 0, 2, or 5 refused. */
int SetAllParams(int set, int cylinders, int stroke, int speedSensorType, int marks, int markOffset,
                 int pressureSensorType, int sensitivity, int coilType, int comparativeLevel);

/* Reads the fields of the asked set and the library's current engine type. Set 0 leaves the
 * pressure sensor type and comparative level unwritten, set 1 the coil type. 0 or 2 (outputs
 * zeroed; a null output writes nothing). */
int GetAllParams(int set, int* engineType, uint8_t* cylinders, uint8_t* stroke, int* speedSensorType,
                 int16_t* marks, int16_t* markOffset, int* pressureSensorType, uint8_t* sensitivity,
                 int* coilType, uint8_t* comparativeLevel);

/* Selects the advance probe of *kind (7 inductive, 9 stroboscope, 10 semiconductor); until it
 * succeeds every advance reads TALLYX_MARK_WRONG_PROBE. 0, 2, or 6 not connected. */
int SetAdvanceProbe(int* kind);

/* Which probes the advance meter sees: 1 or 0 for each of advance, speed and temperature. 0 or 2. */
int GetProbeAdvance(int* advanceProbe, int* speedProbe, int* temperatureProbe);

/* The probe kinds on the speed and temperature inputs (0 none). 0 or 2. */
int GetSpeedAndTempProbe(int* speedProbeKind, int* temperatureProbeKind);

/* One advance measurement: speed (rpm), advance (degrees), temperature (degrees Celsius), and the
 * probe button (1 held). 0 or 2. */
int GetAdvanceData(int* speed, double* advance, int* temperature, int* probeButton);

/* Speed (rpm) and temperature (degrees Celsius); retried five times 30 ms apart. 0 or 2. */
int GetSpeedAndTemp(int* speed, int* temperature);

/* Dwell angle (as the meter reports it), speed (rpm) and temperature (degrees Celsius). 0 or 2. */
int GetDwellAngleData(double* dwellAngle, int* speed, int* temperature);

#ifdef __cplusplus
}
#endif

#endif /* TALLYX_H */
