/* The kernel-mode port I/O driver `hwinterface`: one device,
   "\Device\hwinterface", reachable from user mode as "\\.\hwinterface", that
   reads or writes one byte at a parallel-port register per device-control
   request. The checks of each request live in request_check.c; this file only
   talks to the I/O manager and the HAL. Every request is completed at once,
   nothing is kept between requests, and close and clean-up need no handler
   because no per-open state exists. */
#include <ntddk.h>

#include "driver/request_check.h"

_Static_assert(REQUEST_STATUS_SUCCESS == (uint32_t)STATUS_SUCCESS, "success status");
_Static_assert(REQUEST_STATUS_UNSUCCESSFUL == (uint32_t)STATUS_UNSUCCESSFUL, "failure status");
_Static_assert(REQUEST_STATUS_ACCESS_DENIED == (uint32_t)STATUS_ACCESS_DENIED, "denied status");

static const WCHAR g_device_name[] = L"\\Device\\hwinterface";
static const WCHAR g_link_name[] = L"\\DosDevices\\hwinterface";

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path);

/* Create: every open is accepted; the device's security (secure open) is
   what decides who may open it. */
static NTSTATUS NTAPI hwinterface_create(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

/* Device control: buffered transfer, so the system buffer holds the request
   record on arrival and the answer on completion. */
static NTSTATUS NTAPI hwinterface_control(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    UCHAR* buffer = (UCHAR*)irp->AssociatedIrp.SystemBuffer;
    RequestAction action = request_check(stack->Parameters.DeviceIoControl.IoControlCode,
                                         stack->Parameters.DeviceIoControl.InputBufferLength,
                                         stack->Parameters.DeviceIoControl.OutputBufferLength, buffer);
    (void)device;
    if (action.touch == REQUEST_READ_PORT) {
        buffer[0] = READ_PORT_UCHAR((PUCHAR)(ULONG_PTR)action.port);
    } else if (action.touch == REQUEST_WRITE_PORT) {
        WRITE_PORT_UCHAR((PUCHAR)(ULONG_PTR)action.port, action.value);
    }
    irp->IoStatus.Status = (NTSTATUS)action.status;
    irp->IoStatus.Information = action.information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return (NTSTATUS)action.status;
}

static VOID NTAPI hwinterface_unload(PDRIVER_OBJECT driver) {
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, g_link_name);
    IoDeleteSymbolicLink(&link);
    IoDeleteDevice(driver->DeviceObject);
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path) {
    UNICODE_STRING device_name;
    UNICODE_STRING link_name;
    PDEVICE_OBJECT device = NULL;
    NTSTATUS status;
    (void)registry_path;

    RtlInitUnicodeString(&device_name, g_device_name);
    RtlInitUnicodeString(&link_name, g_link_name);

    /* Secure open: the device's security also guards names opened below it. */
    status = IoCreateDevice(driver, 0, &device_name, FILE_DEVICE_UNKNOWN, FILE_DEVICE_SECURE_OPEN,
                            FALSE, &device);
    if (!NT_SUCCESS(status)) return status;

    status = IoCreateSymbolicLink(&link_name, &device_name);
    if (!NT_SUCCESS(status)) {
        /* The driver does not load: leave no device behind. */
        IoDeleteDevice(device);
        return status;
    }

    driver->MajorFunction[IRP_MJ_CREATE] = hwinterface_create;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = hwinterface_control;
    driver->DriverUnload = hwinterface_unload;
    return STATUS_SUCCESS;
}
