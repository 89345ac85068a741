// winsim kernel headers: the source annotation language of the DDK. The
// annotations say what the static analysis of the WDK checks (buffer sizes,
// IRQL, results to inspect); to the host compiler they are nothing.
#pragma once

#define _In_
#define _In_z_
#define _In_opt_
#define _In_reads_(size)
#define _In_reads_bytes_(size)
#define _In_reads_bytes_opt_(size)
#define _Out_
#define _Out_opt_
#define _Out_writes_(size)
#define _Out_writes_bytes_(size)
#define _Out_writes_bytes_opt_(size)
#define _Out_writes_bytes_to_(size, count)
#define _Outptr_
#define _Inout_
#define _Inout_opt_
#define _Inout_updates_bytes_(size)
#define _Must_inspect_result_
#define _Success_(expression)
#define _Ret_maybenull_
#define _When_(condition, annotations)
#define _Use_decl_annotations_
#define _Function_class_(name)
#define _Dispatch_type_(type)
#define _IRQL_requires_(irql)
#define _IRQL_requires_max_(irql)
#define _IRQL_requires_min_(irql)
#define _IRQL_requires_same_
#define _IRQL_raises_(irql)
#define _IRQL_saves_
#define _IRQL_restores_
