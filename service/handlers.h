#pragma once

#include "service/exchange.h"
#include "service/service_context.h"

// One function per service path.
namespace VendraService {

ServiceReply HandleLogin(ServiceContext& context, const ServiceRequest& request);
ServiceReply HandleRefresh(ServiceContext& context, const ServiceRequest& request);
ServiceReply HandleLogout(ServiceContext& context, const ServiceRequest& request);
ServiceReply HandleEmailDeviceCode(ServiceContext& context, const ServiceRequest& request);
ServiceReply HandleDeviceAuth(ServiceContext& context, const ServiceRequest& request);

ServiceReply HandleBuilds(ServiceContext& context, const ServiceRequest& request);
ServiceReply HandleBuild(ServiceContext& context, const ServiceRequest& request);
ServiceReply HandleUtility(ServiceContext& context, const ServiceRequest& request);
ServiceReply HandleDownload(ServiceContext& context, const ServiceRequest& request);

ServiceReply HandleData(ServiceContext& context, const ServiceRequest& request);
ServiceReply HandleCrashReport(ServiceContext& context, const ServiceRequest& request);

// Finds the handler of a path; an unknown path gives 404.
ServiceReply Dispatch(ServiceContext& context, const ServiceRequest& request);

}  // namespace VendraService
