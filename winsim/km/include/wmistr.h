// winsim kernel headers: WMI data structures exchanged between WMI and a data
// provider (WNODEs and the registration information), with the x64 layouts
// of the Windows headers.
#pragma once

#include "ntdef.h"

typedef struct _WNODE_HEADER {
    ULONG BufferSize;  // of the whole WNODE
    ULONG ProviderId;
    union {
        ULONG64 HistoricalContext;
        struct {
            ULONG Version;
            ULONG Linkage;
        };
    };
    union {
        ULONG CountLost;
        HANDLE KernelHandle;
        LARGE_INTEGER TimeStamp;
    };
    GUID Guid;
    ULONG ClientContext;
    ULONG Flags;
} WNODE_HEADER, *PWNODE_HEADER;

#define WNODE_FLAG_ALL_DATA 0x00000001
#define WNODE_FLAG_SINGLE_INSTANCE 0x00000002
#define WNODE_FLAG_SINGLE_ITEM 0x00000004
#define WNODE_FLAG_EVENT_ITEM 0x00000008
#define WNODE_FLAG_FIXED_INSTANCE_SIZE 0x00000010
#define WNODE_FLAG_TOO_SMALL 0x00000020
#define WNODE_FLAG_INSTANCES_SAME 0x00000040
#define WNODE_FLAG_STATIC_INSTANCE_NAMES 0x00000080
#define WNODE_FLAG_INTERNAL 0x00000100
#define WNODE_FLAG_USE_TIMESTAMP 0x00000200
#define WNODE_FLAG_PERSIST_EVENT 0x00000400
#define WNODE_FLAG_EVENT_REFERENCE 0x00002000
#define WNODE_FLAG_ANSI_INSTANCENAMES 0x00004000
#define WNODE_FLAG_METHOD_ITEM 0x00008000
#define WNODE_FLAG_PDO_INSTANCE_NAMES 0x00010000

typedef struct {
    ULONG OffsetInstanceData;
    ULONG LengthInstanceData;
} OFFSETINSTANCEDATAANDLENGTH, *POFFSETINSTANCEDATAANDLENGTH;

typedef struct tagWNODE_ALL_DATA {
    struct _WNODE_HEADER WnodeHeader;
    ULONG DataBlockOffset;
    ULONG InstanceCount;
    ULONG OffsetInstanceNameOffsets;
    union {
        ULONG FixedInstanceSize;  // with WNODE_FLAG_FIXED_INSTANCE_SIZE
        OFFSETINSTANCEDATAANDLENGTH OffsetInstanceDataAndLength[1];
    };
} WNODE_ALL_DATA, *PWNODE_ALL_DATA;

typedef struct tagWNODE_SINGLE_INSTANCE {
    struct _WNODE_HEADER WnodeHeader;
    ULONG OffsetInstanceName;
    ULONG InstanceIndex;  // valid with WNODE_FLAG_STATIC_INSTANCE_NAMES
    ULONG DataBlockOffset;
    ULONG SizeDataBlock;
    UCHAR VariableData[];
} WNODE_SINGLE_INSTANCE, *PWNODE_SINGLE_INSTANCE;

typedef struct tagWNODE_SINGLE_ITEM {
    struct _WNODE_HEADER WnodeHeader;
    ULONG OffsetInstanceName;
    ULONG InstanceIndex;
    ULONG ItemId;
    ULONG DataBlockOffset;
    ULONG SizeDataItem;
    UCHAR VariableData[];
} WNODE_SINGLE_ITEM, *PWNODE_SINGLE_ITEM;

typedef struct tagWNODE_METHOD_ITEM {
    struct _WNODE_HEADER WnodeHeader;
    ULONG OffsetInstanceName;
    ULONG InstanceIndex;
    ULONG MethodId;
    ULONG DataBlockOffset;
    ULONG SizeDataBlock;
    UCHAR VariableData[];
} WNODE_METHOD_ITEM, *PWNODE_METHOD_ITEM;

typedef struct tagWNODE_EVENT_ITEM {
    struct _WNODE_HEADER WnodeHeader;
} WNODE_EVENT_ITEM, *PWNODE_EVENT_ITEM;

// Answer to a query whose buffer cannot hold the result.
typedef struct tagWNODE_TOO_SMALL {
    struct _WNODE_HEADER WnodeHeader;
    ULONG SizeNeeded;
} WNODE_TOO_SMALL, *PWNODE_TOO_SMALL;

typedef struct {
    GUID Guid;
    ULONG Flags;
    ULONG InstanceCount;
    union {
        ULONG InstanceNameList;
        ULONG BaseNameOffset;  // with WMIREG_FLAG_INSTANCE_BASENAME
        ULONG_PTR Pdo;         // with WMIREG_FLAG_INSTANCE_PDO
        ULONG_PTR InstanceInfo;
    };
} WMIREGGUIDW, *PWMIREGGUIDW;

typedef WMIREGGUIDW WMIREGGUID;
typedef PWMIREGGUIDW PWMIREGGUID;

#define WMIREG_FLAG_EXPENSIVE 0x00000001
#define WMIREG_FLAG_INSTANCE_LIST 0x00000004
#define WMIREG_FLAG_INSTANCE_BASENAME 0x00000008
#define WMIREG_FLAG_INSTANCE_PDO 0x00000020
#define WMIREG_FLAG_EVENT_ONLY_GUID 0x00000040
#define WMIREG_FLAG_REMOVE_GUID 0x00010000

// Answer to IRP_MN_REGINFO(_EX). The offsets are from the start of this
// structure; each names a counted string: a USHORT byte count, then the
// UTF-16 characters without terminator. Offset 0 means none.
typedef struct {
    ULONG BufferSize;
    ULONG NextWmiRegInfo;
    ULONG RegistryPath;
    ULONG MofResourceName;
    ULONG GuidCount;
    WMIREGGUIDW WmiRegGuid[];
} WMIREGINFOW, *PWMIREGINFOW;

typedef WMIREGINFOW WMIREGINFO;
typedef PWMIREGINFOW PWMIREGINFO;

typedef enum {
    WMI_GET_ALL_DATA = 0,
    WMI_GET_SINGLE_INSTANCE = 1,
    WMI_SET_SINGLE_INSTANCE = 2,
    WMI_SET_SINGLE_ITEM = 3,
    WMI_ENABLE_EVENTS = 4,
    WMI_DISABLE_EVENTS = 5,
    WMI_ENABLE_COLLECTION = 6,
    WMI_DISABLE_COLLECTION = 7,
    WMI_REGINFO = 8,
    WMI_EXECUTE_METHOD = 9,
} WMIDPREQUESTCODE;

static_assert(sizeof(WNODE_HEADER) == 48, "WNODE_HEADER is 48 bytes");
static_assert(FIELD_OFFSET(WNODE_HEADER, TimeStamp) == 16, "TimeStamp at 16");
static_assert(FIELD_OFFSET(WNODE_HEADER, Guid) == 24, "Guid at 24");
static_assert(FIELD_OFFSET(WNODE_HEADER, Flags) == 44, "Flags at 44");
static_assert(sizeof(WNODE_ALL_DATA) == 72, "WNODE_ALL_DATA is 72 bytes");
static_assert(FIELD_OFFSET(WNODE_ALL_DATA, OffsetInstanceDataAndLength) == 60, "instance table at 60");
static_assert(sizeof(WNODE_SINGLE_INSTANCE) == 64, "WNODE_SINGLE_INSTANCE is 64 bytes");
static_assert(FIELD_OFFSET(WNODE_SINGLE_INSTANCE, SizeDataBlock) == 60, "SizeDataBlock at 60");
static_assert(sizeof(WNODE_SINGLE_ITEM) == 72, "WNODE_SINGLE_ITEM is 72 bytes");
static_assert(FIELD_OFFSET(WNODE_SINGLE_ITEM, SizeDataItem) == 64, "SizeDataItem at 64");
static_assert(sizeof(WNODE_METHOD_ITEM) == 72, "WNODE_METHOD_ITEM is 72 bytes");
static_assert(sizeof(WNODE_TOO_SMALL) == 56, "WNODE_TOO_SMALL is 56 bytes");
static_assert(sizeof(WMIREGGUIDW) == 32, "WMIREGGUIDW is 32 bytes");
static_assert(sizeof(WMIREGINFOW) == 24, "WMIREGINFOW header is 24 bytes");
